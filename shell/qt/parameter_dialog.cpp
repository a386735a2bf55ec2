#include "shell/qt/parameter_dialog.h"

#include <QFontMetrics>
#include <QPalette>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <algorithm>

#include "commands/param_dialog.h"
#include "shell/qt/texts.h"

namespace {

// Dialog units as a dialog template uses them: a quarter of the average
// character width across, an eighth of the character height down.
struct DialogUnits {
    int base_x, base_y;
    explicit DialogUnits(const QFont& font)
    {
        const QFontMetrics m(font);
        const int letters = m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        base_x = std::max(1, (letters / 26 + 1) / 2);
        base_y = std::max(1, m.height());
    }
    int x(int units) const { return (units * base_x + 2) / 4; }
    int y(int units) const { return (units * base_y + 4) / 8; }
    QRect rect(int left, int top, int width, int height) const
    {
        return {x(left), y(top), x(width), y(height)};
    }
};

// A horizontal slider that moves as the Windows trackbar does: Up and PageUp
// towards the minimum, like Left; Down and PageDown towards the maximum.
class TrackbarSlider : public QSlider {
public:
    using QSlider::QSlider;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        switch (event->key()) {
        case Qt::Key_Up: triggerAction(SliderSingleStepSub); break;
        case Qt::Key_Down: triggerAction(SliderSingleStepAdd); break;
        case Qt::Key_PageUp: triggerAction(SliderPageStepSub); break;
        case Qt::Key_PageDown: triggerAction(SliderPageStepAdd); break;
        default: QSlider::keyPressEvent(event); return;
        }
        event->accept();
    }
};

QLineEdit* read_only_field(QWidget* parent, const char* name)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    field->setEnabled(false);
    // Not an input, but text to read: the normal colour, not the pale one of
    // a disabled field.
    QPalette palette = field->palette();
    palette.setColor(QPalette::Disabled, QPalette::Text, palette.color(QPalette::Active, QPalette::WindowText));
    field->setPalette(palette);
    field->setFrame(false);
    field->setAlignment(Qt::AlignCenter);
    return field;
}

}  // namespace

ParameterDialog::ParameterDialog(QWidget* owner, ParamDialog& dialog)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      dialog_(dialog)
{
    setModal(true);
    const ParamDialogView view = param_dialog_open(dialog_);
    setWindowTitle(ui_text(view.title));

    const DialogUnits du(font());
    setFixedSize(du.x(221), du.y(74));

    // Created in the template's tab order: OK, slider, value, Cancel, labels.
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setDefault(true);
    ok_->setGeometry(du.rect(165, 53, 50, 14));

    slider_ = new TrackbarSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("slider"));
    slider_->setGeometry(du.rect(13, 22, 195, 19));
    slider_->setTickPosition(QSlider::TicksBelow);
    slider_->setRange(view.range_min, view.range_max);
    slider_->setTickInterval(view.tick_step);
    slider_->setSingleStep(1);
    // No page size is given: a fifth of the range, the slider's usual default.
    slider_->setPageStep(std::max(1, (view.range_max - view.range_min) / 5));
    slider_->setValue(view.position);

    value_ = read_only_field(this, "value");
    value_->setGeometry(du.rect(80, 10, 61, 12));
    value_->setText(QString::fromUtf8(view.value_text));

    cancel_ = new QPushButton(ui_text("Отмена"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setGeometry(du.rect(88, 53, 50, 14));

    min_ = read_only_field(this, "min_label");
    min_->setGeometry(du.rect(7, 10, 28, 12));
    min_->setText(QString::fromUtf8(view.min_label));
    max_ = read_only_field(this, "max_label");
    max_->setGeometry(du.rect(187, 10, 28, 12));
    max_->setText(QString::fromUtf8(view.max_label));

    setTabOrder(ok_, slider_);
    setTabOrder(slider_, cancel_);

    // Connected after the opening position is set: the opening text is the
    // value of initial_pos as the description gives it.
    connect(slider_, &QSlider::valueChanged, this,
            [this](int position) { value_->setText(QString::fromUtf8(param_dialog_slider_moved(dialog_, position))); });
    connect(ok_, &QPushButton::clicked, this, &ParameterDialog::accept_position);
    connect(cancel_, &QPushButton::clicked, this, &ParameterDialog::reject);
}

void ParameterDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    slider_->setFocus(Qt::OtherFocusReason);
}

void ParameterDialog::accept_position()
{
    if (closed_) return;
    closed_ = true;
    done(param_dialog_ok(dialog_, slider_->value()));
}

void ParameterDialog::reject()
{
    if (closed_) return;
    closed_ = true;
    done(param_dialog_cancel(dialog_));
}
