// The Qt widgets of uicontrol objects: frames, text labels, sliders, edit
// fields and push buttons. Each mirrors its object and signals what the user
// does to it; the window it is in hands that to the tree.
#pragma once

#include "tree.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace graphics {

// What the user did to a control.
class UserActions : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    // The user set a property: a slider's "Value", an edit field's "String".
    void changed(const std::string& property, const mxArray& value);
    // The control's callback is due.
    void fired();
};

class Control {
public:
    virtual ~Control() = default;
    virtual QWidget* widget() = 0;
    // Shows the object's properties.
    virtual void apply(const Object& control) = 0;
    UserActions& userActions() { return userActions_; }

private:
    UserActions userActions_;
};

// The widget for the object's "Style".
Control* createControl(const Object& control, QWidget* parent);

class FrameControl : public QFrame, public Control {
public:
    explicit FrameControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void apply(const Object&) override {}
};

// A text on the window's background: only the text's own box is painted, so
// a title laid over a frame's edge hides that edge and nothing else.
class LabelControl : public QLabel, public Control {
public:
    explicit LabelControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void apply(const Object& control) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The font fitted to the text and the box, and the text's width in it,
    // which each paint needs: measured once a change, not once a paint.
    void fit();

    QFont baseFont_;
    QColor background_;
    int textWidth_ = 0;
};

// A continuous value in [Min, Max] on a fine integer scale. The callback fires
// once a move is complete (release of a drag, a step by key, arrow or trough),
// never for the positions on the way.
class SliderControl : public QSlider, public Control {
public:
    explicit SliderControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void apply(const Object& control) override;
    // A completed move to exactly this value, kept within [Min, Max] as a
    // user's move is.
    void moveTo(double value);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int positionOf(double value) const;
    void commit(double value);

    double min_ = 0, max_ = 1;
};

// "String" is what the field holds, whole in its tooltip; the callback fires
// when the user leaves a field whose text they changed.
class EditControl : public QLineEdit, public Control {
public:
    explicit EditControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void apply(const Object& control) override;
    // Replaces the contents as typing would, then leaves the field.
    void typeAndLeave(const QString& text);

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showStart();
};

class ButtonControl : public QPushButton, public Control {
public:
    explicit ButtonControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void apply(const Object& control) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QFont baseFont_;
};

}  // namespace graphics
