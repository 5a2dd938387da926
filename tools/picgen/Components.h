#pragma once

#include <QImage>

// The component pictures laid over the schematic when a part is active, each on a white canvas in the
// colours of the sixteen-colour palette. Each covers its part of the schematic at its widget's place and
// repeats the schematic lines it covers, so an opaque picture leaves no gap in them.
QImage DrawMotor();        // 68 x 68, fan motor
QImage DrawValve();        // 32 x 60, fuel valve; BV 1 and BV 2 share it
QImage DrawHeater();       // 64 x 32, fuel heater at the inlet
QImage DrawFlame();        // 128 x 58, shown transparently: its bottom-left colour is not drawn
QImage DrawTransformer();  // 64 x 64, ignition transformer
