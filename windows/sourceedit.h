#pragma once

#include <QPlainTextEdit>

namespace windows {

// The HTML source box: a plain text box whose text is exactly the string that was set, with
// CR LF between lines, and which notifies once per change, typed or set.
class SourceEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit SourceEdit(QWidget *parent = nullptr);
    ~SourceEdit() override = default;
    Q_DISABLE_COPY_MOVE(SourceEdit)

    QString text() const;
    void setText(const QString &text);

    // Appends CR LF at the very end as one edit of its own, keeping undo history and scrolling.
    void appendLineBreak();
    void moveCaretToEnd();

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;

private:
    QString textWithMarkedSeparators() const;

    bool m_settingText = false;
    // Whether the text set last held line separators of its own, which only a slower reading
    // tells from those that stand for a LF.
    bool m_hasMarkedSeparators = false;
};

}  // namespace windows
