// labeled_edit.h -- an edit box with its caption label above it (TLabeledEdit).
#pragma once

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

namespace tarnwick::gui {

// The caption is a label of its own beside the edit box on the same parent, kept left-aligned
// with the box and labelSpacing pixels above it whenever the box moves, resizes or changes
// font. It is named after the box with "_EditLabel" appended, shows and hides with the box and
// is enabled with it; clicking its mnemonic focuses the box.
class TLabeledEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString labelText READ LabelText WRITE SetLabelText)
    Q_PROPERTY(int labelSpacing READ LabelSpacing WRITE SetLabelSpacing)
    Q_PROPERTY(QColor labelColor READ LabelColor WRITE SetLabelColor)

public:
    explicit TLabeledEdit(QWidget* parent = nullptr);
    ~TLabeledEdit() override;

    QLabel* EditLabel() const { return label_; }

    QString LabelText() const;
    void SetLabelText(const QString& text);
    int LabelSpacing() const { return spacing_; }
    void SetLabelSpacing(int pixels);
    // An invalid colour leaves the label transparent over its parent.
    QColor LabelColor() const { return labelColor_; }
    void SetLabelColor(const QColor& color);

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void attachLabel();
    void placeLabel();

    QPointer<QLabel> label_;  // owned by the parent widget, like the box itself
    QString text_;
    int spacing_ = 3;
    QColor labelColor_;
};

}  // namespace tarnwick::gui
