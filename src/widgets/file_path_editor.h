#pragma once

#include <QStringList>
#include <QWidget>

class QLineEdit;
class QPushButton;

// A path typed or picked through a file dialog: a line edit with a browse
// button beside it. In folder mode the dialog picks an existing folder. A
// path picked or typed is announced with accepted().
class FilePathEditor : public QWidget
{
    Q_OBJECT

public:
    explicit FilePathEditor(QWidget *parent = nullptr);

    // Names the field and its button for screen readers.
    void setFieldName(const QString &name);

    QString path() const;
    void setPath(const QString &path);

    bool isFolderMode() const { return m_folderMode; }
    void setFolderMode(bool folderMode) { m_folderMode = folderMode; }
    // Offered in this order by the file dialog.
    QStringList filters() const { return m_filters; }
    void setFilters(const QStringList &filters) { m_filters = filters; }
    // Where the file dialog starts when the current path does not exist.
    QString defaultDirectory() const { return m_defaultDirectory; }
    void setDefaultDirectory(const QString &directory) { m_defaultDirectory = directory; }

    // The folder remembered under the settings key, else the documents folder.
    static QString rememberedDirectory(const QString &settingsKey);
    // Remembers the folder of `path` under the key when the path exists.
    static void rememberDirectory(const QString &settingsKey, const QString &path);

signals:
    void accepted();
    void rejected();

public slots:
    void onPathEdited();
    void onBrowseClicked();

private:
    QLineEdit *m_edit;
    QPushButton *m_browse;
    bool m_folderMode = false;
    QStringList m_filters;
    QString m_defaultDirectory;
    QString m_editedPath;
};
