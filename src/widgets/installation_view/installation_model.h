#pragma once

#include "change_events.h"
#include "tree_model.h"
#include "types.h"

#include <QHash>
#include <QTimer>

#include <span>
#include <vector>

class Controller;
class InstallationItem;
class LumApplication;
class LumDocument;

// The project as a tree: groups, their installations, their controllers and
// under each controller one row per file it receives, in nine columns. Rows
// are found by identifier through maps (never by walking the tree), so that
// the upload feedback of a fleet refreshes exactly the cells it names. The
// model follows the application's change events and the document's upload
// feedback by itself; names, hostnames and ports are edited as undoable steps.
class InstallationModel : public TreeModel
{
    Q_OBJECT

public:
    enum Column
    {
        Column_NAME = 0,
        Column_TYPE = 1,
        Column_HOSTNAME = 2,
        Column_HTTP_PORT = 3,
        Column_FTP_PORT = 4,
        Column_ONLINE = 5,
        Column_NEXT_UPLOAD = 6,
        Column_UPLOAD_STATE = 7,
        Column_PROGRESS = 8,
        Column_COUNT = 9
    };
    // Column 8's value for a row without progress or message.
    static constexpr uint NoProgress = 4294967295u;
    // Progress is drawn at most once per cell in this time: often enough to
    // follow, rarely enough that a fleet's progress costs little to paint.
    static constexpr int ProgressFrameMsec = 40;

    explicit InstallationModel(LumApplication *app, QObject *parent = nullptr);

    // The first column's index of the row; invalid when there is none.
    QModelIndex groupIndex(uint groupId) const;
    QModelIndex installationIndex(uint installationId) const;
    QModelIndex controllerIndex(uint controllerId) const;
    QModelIndex fileIndex(uint controllerId, uint slot, MediaType mediaType) const;

    // Why the file row's file cannot be uploaded; empty when it can.
    static QString fileProblem(const Controller &controller, uint slot, MediaType mediaType);
    // Whether every file of the controller's tree rows can be uploaded.
    static bool hasValidFiles(const Controller &controller);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

public slots:
    // Rows for the whole open project, in one reset.
    void rebuild();
    void clearRows();
    void onChangeEvent(QEvent *event);
    void onUploadStateChanged(uint controllerId);
    void onUploadMessageChanged(uint controllerId);
    void onUploadStateChanged(uint controllerId, uint mediaId, MediaType mediaType);
    void onUploadProgressChanged(uint controllerId, uint mediaId, MediaType mediaType);
    // Draws the progress gathered since the last frame.
    void flushProgress();

signals:
    // Rows added by an edit that the view is to select (first column).
    void selectionRequested(const QModelIndexList &indexes);

private:
    // Reports kept between frames before the repeated ones are dropped.
    static constexpr size_t ProgressCellsKept = 4096;

    static quint64 fileKey(uint controllerId, uint slot, MediaType mediaType);
    void keepEachProgressCellOnce();
    void refreshConvertedRows();
    // A controller's row and the keys of its file rows in row order, kept
    // so that a frame's progress finds its rows without reading them.
    struct ControllerRows
    {
        InstallationItem *item = nullptr;
        std::vector<quint64> fileKeys;
    };
    InstallationItem *controllerItem(uint controllerId) const;
    ControllerRows *controllerRows(uint controllerId);
    const ControllerRows *controllerRows(uint controllerId) const;
    void refreshFileProgress(ControllerRows &rows, std::span<const quint64> cells);

    LumDocument *document() const;
    InstallationItem *itemAt(const QModelIndex &index) const;
    void refresh(const TreeItem *item, int firstColumn, int lastColumn);
    InstallationItem *addGroupRows(uint groupId, bool announce);
    InstallationItem *addInstallationRows(InstallationItem *groupItem, uint installationId,
                                          bool announce);
    void addControllerRows(InstallationItem *installationItem, uint controllerId);
    void forgetRows(const TreeItem *item);
    void removeItemRows(InstallationItem *item);

    QVariant groupData(const InstallationItem &item, int column, int role) const;
    QVariant controllerData(const InstallationItem &item, int column, int role) const;
    QVariant fileData(const InstallationItem &item, int column, int role) const;
    QVariant controllerProgress(const Controller &controller) const;
    bool setControllerData(const InstallationItem &item, int column, const QVariant &value);

    LumApplication *m_app;
    QHash<uint, InstallationItem *> m_groups;
    QHash<uint, InstallationItem *> m_installations;
    // By identifier (at most 65535, in practice below the fleet's size):
    // the records of neighbouring controllers lie together, and finding
    // one is a single read.
    std::vector<ControllerRows> m_controllers;
    QHash<quint64, InstallationItem *> m_files;
    // File cells whose progress changed since the last frame, in the order
    // reported (a cell may be named more than once).
    std::vector<quint64> m_progressCells;
    size_t m_progressCellsLimit = ProgressCellsKept;
    QTimer m_progressTimer;
};
