#pragma once

#include <QDialog>

#include "window/MainView.h"
#include "window/uComPortFrm.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

// The Qt face of the port selection dialog ComPortFrm: its widgets at their places, passing the
// showing, the hiding, the OK button and the search pause to TComPortFrm.
class QtPortDialog : public QDialog, public kalvo::PortDialogView {
    Q_OBJECT

public:
    explicit QtPortDialog(QWidget* parent = nullptr);

    // The dialog's behaviour.
    TComPortFrm ComPortFrm{*this};

    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* AccessNote = nullptr;

    // PortDialogView
    void SetPortItems(const std::vector<std::string>& items) override;
    int SelectedPortItem() const override;
    void SelectPortItem(int index) override;
    void SetSearching(bool searching, const std::string& placeholder) override;
    void SetAccessNoteVisible(bool visible) override;
    void FocusButton1() override;
    void StartProbePause(std::chrono::milliseconds pause) override;
    void StopProbePause() override;
    void CloseDialog() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer* probePause_ = nullptr;
};
