#pragma once
// A read-only window showing one text file of code page 936: the program's
// stand-in for opening a collected file in a text editor.
#include <QPlainTextEdit>
#include <QString>

class TextViewer : public QPlainTextEdit {
    Q_OBJECT
public:
    // Loads the file; a file that cannot be read shows empty.
    explicit TextViewer(const QString& path, QWidget* parent = nullptr);
    const QString& path() const { return path_; }

private:
    QString path_;
};
