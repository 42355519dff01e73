// labeled_edit.cpp -- the edit box with a caption label above it.
#include "builder/gui/labeled_edit.h"

#include <QEvent>
#include <QHideEvent>
#include <QLabel>
#include <QShowEvent>

namespace tarnwick::gui {

TLabeledEdit::TLabeledEdit(QWidget* parent) : QLineEdit(parent)
{
    attachLabel();
    connect(this, &QObject::objectNameChanged, this, [this](const QString& name) {
        if (label_)
            label_->setObjectName(name + QStringLiteral("_EditLabel"));
    });
}

TLabeledEdit::~TLabeledEdit()
{
    // The label belongs to the parent; a box that is deleted alone takes its caption with it.
    delete label_.data();
}

QString TLabeledEdit::LabelText() const { return text_; }

void TLabeledEdit::SetLabelText(const QString& text)
{
    text_ = text;
    if (label_) {
        label_->setText(text);
        placeLabel();
    }
}

void TLabeledEdit::SetLabelSpacing(int pixels)
{
    spacing_ = pixels;
    placeLabel();
}

void TLabeledEdit::SetLabelColor(const QColor& color)
{
    labelColor_ = color;
    if (!label_)
        return;
    QPalette palette = label_->palette();
    if (color.isValid())
        palette.setColor(QPalette::Window, color);
    label_->setPalette(palette);
    label_->setAutoFillBackground(color.isValid());
}

void TLabeledEdit::attachLabel()
{
    QWidget* parent = parentWidget();
    if (label_ && label_->parentWidget() == parent)
        return;
    if (parent == nullptr) {
        delete label_.data();
        return;
    }
    if (!label_)
        label_ = new QLabel(parent);  // owned by parent
    else
        label_->setParent(parent);
    label_->setObjectName(objectName() + QStringLiteral("_EditLabel"));
    label_->setText(text_);
    label_->setBuddy(this);
    label_->setFont(font());
    label_->setEnabled(isEnabled());
    label_->setVisible(!isHidden());
    SetLabelColor(labelColor_);
    placeLabel();
}

void TLabeledEdit::placeLabel()
{
    if (!label_)
        return;
    const QSize size = label_->sizeHint();
    label_->setGeometry(x(), y() - size.height() - spacing_, size.width(), size.height());
}

void TLabeledEdit::moveEvent(QMoveEvent* event)
{
    QLineEdit::moveEvent(event);
    placeLabel();
}

void TLabeledEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    placeLabel();
}

void TLabeledEdit::showEvent(QShowEvent* event)
{
    QLineEdit::showEvent(event);
    if (label_ && !event->spontaneous())
        label_->show();
}

void TLabeledEdit::hideEvent(QHideEvent* event)
{
    QLineEdit::hideEvent(event);
    if (label_ && !event->spontaneous() && isHidden())
        label_->hide();
}

void TLabeledEdit::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    switch (event->type()) {
    case QEvent::ParentChange:
        attachLabel();
        break;
    case QEvent::EnabledChange:
        if (label_)
            label_->setEnabled(isEnabled());
        break;
    case QEvent::FontChange:
        if (label_) {
            label_->setFont(font());
            placeLabel();
        }
        break;
    default:
        break;
    }
}

}  // namespace tarnwick::gui
