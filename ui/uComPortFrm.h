#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

#include "SerialLine.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

// The port selection dialog: lists the COM ports that can be opened right now and writes the one
// chosen into uGlobal::PortNumber when OK is pressed. Created once, hidden, and reused; the list
// is rebuilt at every showing. Closing it by its title bar leaves PortNumber as it was.
class TComPortFrm : public QDialog {
    Q_OBJECT

public:
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 255;
    // The pause after each port found, which gives a device a moment after being opened and closed.
    static constexpr int PauseAfterFoundPortMs = 60;

    explicit TComPortFrm(QWidget* parent = nullptr);

    // Runs at each showing: empties the list and starts probing the ports.
    void FormShow();
    // The OK button.
    void Button1Click();

    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* Button1 = nullptr;
    // Shown under the list only when no port could be listed and some were refused for want of
    // permission.
    QLabel* AccessNote = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ProbePortsFrom(int portNumber);
    void FinishListing();
    void SetSearching(bool searching);
    void ShowAccessNote(bool show);
    void PlaceCentred();

    QTimer* probePause_ = nullptr;
    std::unique_ptr<kalvo::PortOpener> search_;  // the ports as they were when this showing began
    QStringList foundPorts_;  // listed together once the search is done
    int nextPortToProbe_ = FirstPort;
    bool accessDenied_ = false;
};
