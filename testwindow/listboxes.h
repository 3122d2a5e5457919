#pragma once
// The directory and file list boxes of the file writer.
#include <QListWidget>
#include <QString>

// The folders of one directory, under the chain of its parents from "/" down:
// activating a parent goes up, activating a folder goes into it (double-click
// or Enter). Each change of the path raises Change.
class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);

    QString path() const { return path_; }
    // Shows `dir` (made absolute and clean) and raises Change; false, with
    // nothing changed, when it is not a directory that can be entered.
    bool setPath(const QString& dir);
    // The same without raising Change.
    bool setPathQuietly(const QString& dir);

signals:
    void Change();

private:
    bool show(const QString& dir);
    QString path_;
};

// The files of one directory, by name. Selecting one (mouse or keys) raises Click.
class FileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    QString path() const { return path_; }
    // Reads the directory again; the selected name stays selected if it is still there.
    void setPath(const QString& dir);

signals:
    void Click();

private:
    QString path_;
};
