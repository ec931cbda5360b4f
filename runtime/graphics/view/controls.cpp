#include "controls.h"

#include "qt_text.h"

#include <QApplication>
#include <QFocusEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace graphics {
namespace {

constexpr int kSliderSteps = 10000;
constexpr int kSmallestFontPixels = 7;

// Sizes are points of the fixed-size window at 96 pixels an inch, whatever
// the screen's resolution: the layout is in pixels, so the texts must be too.
QFont controlFont(const Object& control) {
    QFont font = QApplication::font();
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(control.number("FontSize") * 96 / 72))));
    font.setBold(control.is("FontWeight", "bold"));
    return font;
}

// The font made smaller, if need be, until the text fits the width. Labels in
// low boxes (the slider bounds) get one smaller size all together, so that
// neighbours of one kind read alike instead of shrinking one by one.
QFont fitted(QFont font, const QString& text, int width, int height) {
    font.setPixelSize(std::min(font.pixelSize(), std::max(kSmallestFontPixels, height * 7 / 10)));
    while (font.pixelSize() > kSmallestFontPixels && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

Qt::Alignment horizontalAlignment(const Object& control) {
    if (control.is("HorizontalAlignment", "left")) return Qt::AlignLeft;
    if (control.is("HorizontalAlignment", "right")) return Qt::AlignRight;
    return Qt::AlignHCenter;
}

void setColors(QWidget* widget, QPalette::ColorRole text, QPalette::ColorRole background, const Object& control) {
    QPalette palette = widget->palette();
    palette.setColor(text, qtColor(control.numbers("ForegroundColor")));
    palette.setColor(background, qtColor(control.numbers("BackgroundColor")));
    widget->setPalette(palette);
}

}  // namespace

Control* createControl(const Object& control, QWidget* parent) {
    std::string style = control.text("Style");
    Control* created = nullptr;
    if (style == "frame") created = new FrameControl(parent);
    else if (style == "text") created = new LabelControl(parent);
    else if (style == "slider") created = new SliderControl(parent);
    else if (style == "edit") created = new EditControl(parent);
    else created = new ButtonControl(parent);
    created->apply(control);
    return created;
}

// ---- frame ------------------------------------------------------------------------

FrameControl::FrameControl(QWidget* parent) : QFrame(parent) { setFrameStyle(QFrame::Box | QFrame::Sunken); }

// ---- text label -------------------------------------------------------------------

LabelControl::LabelControl(QWidget* parent) : QLabel(parent) { setContentsMargins(1, 1, 1, 0); }

void LabelControl::apply(const Object& control) {
    setText(qtText(control.text("String")));
    setAlignment(horizontalAlignment(control) | Qt::AlignTop);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, qtColor(control.numbers("ForegroundColor")));
    setPalette(palette);
    background_ = qtColor(control.numbers("BackgroundColor"));
    baseFont_ = controlFont(control);
    fit();
}

void LabelControl::fit() {
    setFont(fitted(baseFont_, text(), contentsRect().width(), contentsRect().height()));
    textWidth_ = fontMetrics().horizontalAdvance(text());
}

void LabelControl::resizeEvent(QResizeEvent* event) {
    fit();
    QLabel::resizeEvent(event);
}

void LabelControl::paintEvent(QPaintEvent* event) {
    if (!text().isEmpty()) {
        QRect box = QStyle::alignedRect(layoutDirection(), alignment(), QSize(textWidth_, fontMetrics().height()),
                                        contentsRect());
        QPainter(this).fillRect(box.adjusted(-2, 0, 2, 0).intersected(rect()), background_);
    }
    QLabel::paintEvent(event);
}

// ---- slider -----------------------------------------------------------------------

SliderControl::SliderControl(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, kSliderSteps);
    setSingleStep(kSliderSteps / 100);
    setPageStep(kSliderSteps / 10);
    // Without tracking, the value changes once per completed move only.
    setTracking(false);
    connect(this, &QSlider::valueChanged, this,
            [this](int position) { commit(min_ + (max_ - min_) * position / kSliderSteps); });
}

void SliderControl::apply(const Object& control) {
    min_ = control.number("Min");
    max_ = control.number("Max");
    QSignalBlocker quiet(this);
    setValue(positionOf(control.number("Value")));
}

void SliderControl::moveTo(double value) {
    if (max_ > min_) value = std::clamp(value, min_, max_);  // a user's move stays on the bar
    {
        QSignalBlocker quiet(this);
        setValue(positionOf(value));
    }
    commit(value);
}

int SliderControl::positionOf(double value) const {
    if (!(max_ > min_)) return 0;
    double fraction = std::clamp((value - min_) / (max_ - min_), 0.0, 1.0);
    return static_cast<int>(std::lround(fraction * kSliderSteps));
}

void SliderControl::commit(double value) {
    emit userActions().changed("Value", mxArray::scalar(value));
    emit userActions().fired();
}

void SliderControl::resizeEvent(QResizeEvent* event) {
    setOrientation(width() >= height() ? Qt::Horizontal : Qt::Vertical);
    QSlider::resizeEvent(event);
}

// ---- edit field -------------------------------------------------------------------

EditControl::EditControl(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        setToolTip(text);
        emit userActions().changed("String", valueText(text));
    });
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (!isModified()) return;
        setModified(false);
        emit userActions().fired();
    });
}

void EditControl::apply(const Object& control) {
    setFont(controlFont(control));
    setAlignment(horizontalAlignment(control) | Qt::AlignVCenter);
    setColors(this, QPalette::Text, QPalette::Base, control);
    QString shown = qtText(control.text("String"));
    if (shown != text()) {
        QSignalBlocker quiet(this);  // the tree has it already
        setText(shown);
        setToolTip(shown);
        showStart();  // the program's text, not one being typed
    }
}

void EditControl::typeAndLeave(const QString& text) {
    selectAll();
    insert(text);
    showStart();
    emit editingFinished();
}

// A number too long for the field must not read as its last digits: a field
// not being edited shows where its text begins.
void EditControl::showStart() { setCursorPosition(0); }

void EditControl::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason) showStart();
}

// ---- push button ------------------------------------------------------------------

ButtonControl::ButtonControl(QWidget* parent) : QPushButton(parent) {
    connect(this, &QPushButton::clicked, &userActions(), &UserActions::fired);
}

void ButtonControl::apply(const Object& control) {
    setText(qtText(control.text("String")));
    setColors(this, QPalette::ButtonText, QPalette::Button, control);
    baseFont_ = controlFont(control);
    setFont(fitted(baseFont_, text(), width() - 8, height()));
}

void ButtonControl::resizeEvent(QResizeEvent* event) {
    setFont(fitted(baseFont_, text(), width() - 8, height()));
    QPushButton::resizeEvent(event);
}

}  // namespace graphics
