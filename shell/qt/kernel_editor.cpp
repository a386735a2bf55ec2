#include "shell/qt/kernel_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "commands/kernel_dialog.h"
#include "shell/qt/texts.h"

namespace {

// The grid field of weight (r, c) of a kernel of `size`.
int grid_index(int size, int r, int c) { return size == 5 ? r * 5 + c : (r + 1) * 5 + c + 1; }

}  // namespace

KernelEditor::KernelEditor(QWidget* owner, const CustomKernel& kernel)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      kernel_(kernel)
{
    setModal(true);
    setWindowTitle(ui_text(kKernelDialogTitle));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QFormLayout;
    presets_ = new QComboBox(this);
    presets_->setObjectName(QStringLiteral("presets"));
    presets_->addItem(ui_text("(свой)"));
    for (const KernelPreset& p : kernel_presets()) presets_->addItem(ui_text(p.caption), QString::fromLatin1(p.name));
    top->addRow(ui_text("Образец:"), presets_);
    size_ = new QComboBox(this);
    size_->setObjectName(QStringLiteral("size"));
    size_->addItem(QStringLiteral("3x3"), 3);
    size_->addItem(QStringLiteral("5x5"), 5);
    top->addRow(ui_text("Размер:"), size_);
    layout->addLayout(top);

    auto* grid = new QGridLayout;
    grid->setSpacing(4);
    for (int i = 0; i < 25; ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("weight%1").arg(i));
        field->setAlignment(Qt::AlignRight);
        field->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("-0000")) + 10);
        grid->addWidget(field, i / 5, i % 5);
        weights_[i] = field;
    }
    layout->addLayout(grid);

    auto* bottom = new QFormLayout;
    auto* divisor_row = new QHBoxLayout;
    divisor_ = new QLineEdit(this);
    divisor_->setObjectName(QStringLiteral("divisor"));
    auto_divisor_ = new QCheckBox(ui_text("авто (сумма весов)"), this);
    auto_divisor_->setObjectName(QStringLiteral("auto_divisor"));
    divisor_row->addWidget(divisor_);
    divisor_row->addWidget(auto_divisor_);
    bottom->addRow(ui_text("Делитель:"), divisor_row);
    offset_ = new QLineEdit(this);
    offset_->setObjectName(QStringLiteral("offset"));
    bottom->addRow(ui_text("Сдвиг:"), offset_);
    rule_ = new QComboBox(this);
    rule_->setObjectName(QStringLiteral("rule"));
    for (const char* caption : kOutOfRangeCaptions) rule_->addItem(ui_text(caption));
    bottom->addRow(ui_text("Вне 0..255:"), rule_);
    channels_ = new QComboBox(this);
    channels_->setObjectName(QStringLiteral("channels"));
    for (const char* caption : kChannelCaptions) channels_->addItem(ui_text(caption));
    bottom->addRow(ui_text("Каналы:"), channels_);
    layout->addLayout(bottom);

    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("error"));
    error_->setStyleSheet(QStringLiteral("color: #b00000"));
    error_->setWordWrap(true);
    layout->addWidget(error_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* cancel = new QPushButton(ui_text("Отмена"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    buttons->addWidget(cancel);
    buttons->addWidget(ok_);
    layout->addLayout(buttons);

    show_kernel(kernel_);
    connect(presets_, &QComboBox::activated, this, [this](int index) {
        if (index > 0) show_kernel(kernel_presets()[static_cast<std::size_t>(index - 1)].kernel);
    });
    connect(size_, &QComboBox::activated, this, [this](int index) { set_size(index == 0 ? 3 : 5); });
    connect(auto_divisor_, &QCheckBox::toggled, divisor_, &QWidget::setDisabled);
    connect(ok_, &QPushButton::clicked, this, &KernelEditor::accept_fields);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void KernelEditor::show_kernel(const CustomKernel& kernel)
{
    const KernelFields f = kernel_field_texts(kernel);
    size_->setCurrentIndex(f.size == 5 ? 1 : 0);
    for (int i = 0; i < 25; ++i) {
        weights_[i]->setText(QStringLiteral("0"));
        weights_[i]->setVisible(f.size == 5 || (i / 5 >= 1 && i / 5 <= 3 && i % 5 >= 1 && i % 5 <= 3));
    }
    for (int r = 0; r < f.size; ++r)
        for (int c = 0; c < f.size; ++c) weights_[grid_index(f.size, r, c)]->setText(QString::fromStdString(f.weights[r * f.size + c]));
    const bool automatic = f.divisor == "auto";
    auto_divisor_->setChecked(automatic);
    divisor_->setDisabled(automatic);
    divisor_->setText(automatic ? QString::number(kernel_divisor(kernel)) : QString::fromStdString(f.divisor));
    offset_->setText(QString::fromStdString(f.offset));
    rule_->setCurrentIndex(f.out_of_range);
    channels_->setCurrentIndex(f.channels);
    error_->clear();
}

// The same weights at the other size (the middle 3x3 kept).
void KernelEditor::set_size(int size)
{
    const int old_size = size == 5 ? 3 : 5;
    CustomKernel k{};
    k.size = static_cast<std::uint8_t>(old_size);
    for (int r = 0; r < old_size; ++r)
        for (int c = 0; c < old_size; ++c) k.weights[r * old_size + c] = static_cast<std::int16_t>(weights_[grid_index(old_size, r, c)]->text().toInt());
    k = kernel_resized(k, size);
    for (int i = 0; i < 25; ++i) {
        weights_[i]->setText(QStringLiteral("0"));
        weights_[i]->setVisible(size == 5 || (i / 5 >= 1 && i / 5 <= 3 && i % 5 >= 1 && i % 5 <= 3));
    }
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c) weights_[grid_index(size, r, c)]->setText(QString::number(k.weights[r * size + c]));
}

void KernelEditor::accept_fields()
{
    KernelFields f;
    f.size = size_->currentIndex() == 1 ? 5 : 3;
    for (int r = 0; r < f.size; ++r)
        for (int c = 0; c < f.size; ++c) f.weights[r * f.size + c] = weights_[grid_index(f.size, r, c)]->text().trimmed().toStdString();
    f.divisor = auto_divisor_->isChecked() ? "auto" : divisor_->text().trimmed().toStdString();
    f.offset = offset_->text().trimmed().toStdString();
    f.out_of_range = rule_->currentIndex();
    f.channels = channels_->currentIndex();
    std::string error;
    if (!kernel_from_fields(f, kernel_, error)) {
        error_->setText(QString::fromStdString(error));
        return;
    }
    done(1);
}
