// The parameter dialog on screen: caption, the minimum label, the live value
// and the maximum label along the top, the slider below them, Cancel and OK
// (the default) at the bottom, laid out in the proportions of a 221 x 74
// dialog-unit template. It drives the core's dialog logic
// (commands/param_dialog.h): the opening view, the text of each slider
// position, OK storing the result, Cancel, Escape and the close box keeping it.
#pragma once

#include <QDialog>

#include "commands/param_dialog.h"

class QLineEdit;
class QPushButton;
class QSlider;

class ParameterDialog : public QDialog {
    Q_OBJECT
public:
    ParameterDialog(QWidget* owner, ParamDialog& dialog);

    QSlider* slider() const { return slider_; }
    QLineEdit* value_field() const { return value_; }
    QLineEdit* min_field() const { return min_; }
    QLineEdit* max_field() const { return max_; }
    QPushButton* ok_button() const { return ok_; }
    QPushButton* cancel_button() const { return cancel_; }

    // Cancel, Escape and the close box: end code 2, result kept.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void accept_position();

    QSlider* slider_ = nullptr;
    QLineEdit* value_ = nullptr;
    QLineEdit* min_ = nullptr;
    QLineEdit* max_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    ParamDialog& dialog_;
    bool closed_ = false;
};
