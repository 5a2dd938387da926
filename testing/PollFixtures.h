#pragma once

#include <algorithm>
#include <string>

#include "core/Protocol.h"
#include "testing/FakeSerial.h"

namespace kalvo::test {

// Status data whose byte 37 = 0x56 sets flags 1, 2, 5 and 6 and byte 38 = 0x80 sets flag 8; the
// mains voltage is 2305 tenths of a volt. Bytes 2..17 hold the status text, with bytes a
// plain-text view would lose and one 0x80 that decoding drops.
inline Bytes SampleStatusData()
{
    Bytes data(51, 0);
    const std::string status("ab\0\xA0\xFF\x80zq", 8);
    std::copy(status.begin(), status.end(), data.begin() + 2);
    data[35] = 0x09;
    data[36] = 0x01;
    data[37] = 0x56;
    data[38] = 0x80;
    return data;
}

// An error history whose record 1 is empty and whose other records are zeros.
inline Bytes SampleErrorHistoryData()
{
    Bytes data(128, 0);
    data[0] = 0xFF;
    return data;
}

// The unit on the fake line answers every request 5 ms after it, with the sample data above and a
// zero timing block.
inline void AnswerEveryRequest(FakeSerialSystem& serial)
{
    serial.AnswerRequest(StatusRequest, {{5, MakeReply(StatusRequest, SampleStatusData())}});
    serial.AnswerRequest(TimingRequest, {{5, MakeReply(TimingRequest, {})}});
    serial.AnswerRequest(ErrorHistoryRequest, {{5, MakeReply(ErrorHistoryRequest, SampleErrorHistoryData())}});
}

}  // namespace kalvo::test
