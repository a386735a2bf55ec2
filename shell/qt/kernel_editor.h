// The kernel dialog on screen: a preset list, the size (3x3 or 5x5), the
// grid of weights, the divisor (or auto), the offset, the rule for values
// outside 0..255 and the channels; OK (the default, Enter) and Cancel
// (Escape, the close box). It reads and checks its fields through the core's
// logic (commands/kernel_dialog.h); a value out of range keeps the dialog
// open and says which field.
#pragma once

#include <QDialog>

#include "ops/filters/custom_kernel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class KernelEditor : public QDialog {
    Q_OBJECT
public:
    KernelEditor(QWidget* owner, const CustomKernel& kernel);

    // The kernel OK accepted.
    const CustomKernel& kernel() const { return kernel_; }

    QComboBox* presets() const { return presets_; }
    QComboBox* size_box() const { return size_; }
    // Weight (row, column) of the 5x5 grid; a 3x3 kernel uses the middle
    // nine fields.
    QLineEdit* weight_field(int row, int column) const { return weights_[row * 5 + column]; }
    QCheckBox* auto_divisor() const { return auto_divisor_; }
    QLineEdit* divisor_field() const { return divisor_; }
    QLineEdit* offset_field() const { return offset_; }
    QComboBox* rule_box() const { return rule_; }
    QComboBox* channels_box() const { return channels_; }
    QLabel* error_label() const { return error_; }
    QPushButton* ok_button() const { return ok_; }

private:
    void show_kernel(const CustomKernel& kernel);
    void set_size(int size);
    void accept_fields();

    CustomKernel kernel_;
    QComboBox* presets_ = nullptr;
    QComboBox* size_ = nullptr;
    QLineEdit* weights_[25] = {};
    QCheckBox* auto_divisor_ = nullptr;
    QLineEdit* divisor_ = nullptr;
    QLineEdit* offset_ = nullptr;
    QComboBox* rule_ = nullptr;
    QComboBox* channels_ = nullptr;
    QLabel* error_ = nullptr;
    QPushButton* ok_ = nullptr;
};
