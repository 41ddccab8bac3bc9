#pragma once

#include "change_events.h"
#include "controller.h"
#include "installation.h"
#include "installation_group.h"
#include "mail_settings.h"
#include "sortvector.h"
#include "upload_schedule.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <memory>

class DocumentPrompts;
class QUndoStack;
class SmtpAuthenicator;
class Streamer;
class UploadFeedback;

// The one open project: the three entity tables (groups hold installations,
// installations hold controllers), the settings saved with the project, the
// undo stack through which every edit passes and the upload feedback of every
// controller. It lives as long as the application and is reset, not
// destroyed, when a project is closed.
//
// Looking up an identifier that does not exist is a programming error and
// ends the process; the undo commands address entities by identifier and put
// back what they removed under the same identifiers.
class LumDocument : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isClean READ isClean NOTIFY cleanChanged)

public:
    // The views whose column widths the project keeps.
    enum Table
    {
        Table_MAIN = 0,
        Table_PASSWORD = 1
    };

    static constexpr uint NoId = SortVectorBase::NoId;
    static constexpr uint TableStep = 256;
    // Each kind holds at most this many elements, identifiers 0 to 1023.
    static constexpr uint TableMaximum = 1024;

    using Groups = SortVector<InstallationGroup>;
    using Installations = SortVector<Installation>;
    using Controllers = SortVector<Controller>;
    using ColumnWidths = QMap<int, int>;

    explicit LumDocument(QObject *parent = nullptr);
    ~LumDocument() override;

    // Who answers the document's questions; an unattended answerer when none
    // is set. The document does not own it.
    void setPrompts(DocumentPrompts *prompts);
    DocumentPrompts *prompts() const;

    // --- Access -----------------------------------------------------------

    InstallationGroup *group(uint id) const;
    Installation *installation(uint id) const;
    Controller *controller(uint id) const;
    bool groupExists(uint id) const { return m_installationGroups.exists(id); }
    bool installationExists(uint id) const { return m_installations.exists(id); }
    bool controllerExists(uint id) const { return m_controllers.exists(id); }
    // Iterate in ascending identifier order.
    const Groups &groups() const { return m_installationGroups; }
    const Installations &installations() const { return m_installations; }
    const Controllers &controllers() const { return m_controllers; }
    // The controllers of every installation of the group, in list order.
    QList<uint> groupControllerIds(uint groupId) const;

    // --- Structural operations ---------------------------------------------

    // Put back what an undo command removed, under its identifier (NoId lets
    // the table choose); the identifier must be free. An installation is
    // appended to its group's list; a controller starts its discovery.
    // Each returns the identifier used.
    uint insertGroup(std::unique_ptr<InstallationGroup> group, uint id);
    uint insertInstallation(std::unique_ptr<Installation> installation, uint id);
    uint insertController(std::unique_ptr<Controller> controller, uint id);

    // Whether a new group fits; otherwise `reason` says why not.
    bool hasRoomForGroup(QString *reason = nullptr) const;
    // Whether `count` installations of the group fit, with one controller
    // per controller template each; otherwise `reason` says why not.
    bool hasRoomForInstallations(uint groupId, uint count, QString *reason = nullptr) const;

    // A new group with its own copy of the template; NoId (nothing added)
    // when the groups table is full.
    uint addGroup(const InstallationTemplate &source);
    // A new installation of the group with one new controller per controller
    // template, shown expanded; NoId (nothing added) when the tables lack
    // room. The caller announces it.
    uint addInstallation(uint groupId);

    // Take an element out and hand it to the caller (an undo command), which
    // owns it from then on. An installation leaves its group's list, a
    // controller stops its link; both leave the expanded sets.
    std::unique_ptr<InstallationGroup> removeGroup(uint id);
    std::unique_ptr<Installation> removeInstallation(uint id);
    std::unique_ptr<Controller> removeController(uint id);

    // The group takes the template, every controller of it receives its
    // controller template (reacting to changed files) and the template's
    // media are queued for conversion.
    void setInstallationTemplate(uint groupId, const InstallationTemplatePtr &installationTemplate);

    void setGroupExpanded(uint id, bool expanded);
    bool isGroupExpanded(uint id) const;
    void setInstallationExpanded(uint id, bool expanded);
    bool isInstallationExpanded(uint id) const;
    const IdSet &expandedGroups() const { return m_expandedGroups; }
    const IdSet &expandedInstallations() const { return m_expandedInstallations; }

    // Width in pixels; 0 for a column the table does not list.
    int columnWidth(Table table, int column) const;
    void setColumnWidth(Table table, int column, int width);
    const ColumnWidths &columnWidths(Table table) const;

    // --- Checks and bulk operations -----------------------------------------

    // False, after warning "Duplicate Host", when another controller has
    // exactly this hostname and HTTP port. An empty hostname is unique.
    bool isHostUnique(const QString &hostname, uint httpPort);
    // Whether the installations may be removed: false for none; when some of
    // their controllers are uploading, asks "Cancel uploads" and on Yes stops
    // exactly those uploads.
    bool confirmRemoval(const IdSet &installationIds);
    // Stops the uploads of the controllers; an empty set stops all.
    void cancelUploads(const IdSet &controllerIds);
    // Whether none of the controllers (all for an empty set) is busy uploading.
    bool allIdle(const IdSet &controllerIds) const;
    // Starts discovery of every controller, in ascending identifier order.
    void discoverAll();

    // The enciphered password to log in to the controller with: its own, else
    // its installation's, else its group's. After a refusal (`reask`) the
    // stored one is not trusted: without `prompt` the result is empty; with
    // it the operator is asked, and a new answer becomes the controller's own
    // password through an undoable step.
    QString controllerPassword(uint controllerId, bool reask, bool prompt);
    // Empties every group, installation and controller password, and the
    // master password when asked to.
    void resetPasswords(bool includingMaster);
    // Whether any group, installation or controller has a password.
    bool hasEntityPasswords() const;

    // Brings templates up to date with their show files on disk: templates
    // whose file changed are analysed again and handed to their controllers;
    // controllers of templates whose file went missing rebuild their file
    // lists. Returns the controllers whose show changed, for the question
    // whether to upload them (a missing show cannot be uploaded).
    IdSet reanalyseChangedShowFiles();
    // The same while uploads may be under way: a template one of whose
    // controllers is uploading or waiting to retry is left for a later look,
    // since handing it the new show would cancel that upload.
    IdSet reanalyseIdleChangedShowFiles();
    // Queues the video and audio of every group's template for conversion.
    // Nothing happens when the process has no media transcoder.
    void requestMediaConversions();

    // --- Settings -------------------------------------------------------------

    // Enciphered; empty when the project has none.
    QString masterPassword() const { return m_masterPassword; }
    // A change made outside the undo stack: the document counts as modified.
    void setMasterPassword(const QString &enciphered);
    bool isMasterPasswordChanged() const { return m_masterPasswordChanged; }

    const MailSettings &mailSettings() const { return m_mailSettings; }
    void setMailSettings(const MailSettings &settings) { m_mailSettings = settings; }

    UploadSchedule &uploadSchedule() { return m_uploadSchedule; }
    const UploadSchedule &uploadSchedule() const { return m_uploadSchedule; }
    UploadFeedback *uploadFeedback() const { return m_uploadFeedback; }
    QUndoStack *undoStack() const { return m_undoStack; }

    // --- The project file -------------------------------------------------------

    // The file the project was loaded from or saved to; null when never saved.
    QString path() const { return m_path; }
    // Neither edited since the last save nor given a new master password.
    bool isClean() const;

    // Saves to the current path, which must be set. The old file is replaced
    // only once the new one is complete; on failure it stays as it was and
    // `errorText` says why.
    bool save(QString *errorText = nullptr);
    bool saveAs(const QString &path, QString *errorText = nullptr);
    // Replaces the document with the project in the file. A file that cannot
    // be read, is not a project, is of a later version, is truncated or out
    // of bounds, or whose tables do not refer to each other properly is
    // refused: the document is left empty and `errorText` says why.
    bool load(const QString &path, QString *errorText = nullptr);
    // Back to the empty project of a new document.
    void reset();

public slots:
    // Fills in the mail settings' user name and deciphered password.
    void handleSmtpAuthenticationRequest(SmtpAuthenicator *authenticator);

signals:
    void cleanChanged(bool clean);
    // The project is closing: whatever runs for its controllers must end
    // before they go.
    void aboutToReset();

private:
    // Builds a document from its JSON form directly into the tables.
    friend class ProjectJson;

    void applyTemplate(InstallationGroup &group, bool takeOnly);
    void writeSections(Streamer &streamer) const;
    bool readSections(Streamer &streamer);
    bool readScheduleSection(Streamer &streamer);
    QString brokenReference() const;
    void requestConversions(const InstallationTemplate &installationTemplate) const;
    void requestConversions(const ControllerTemplate &controllerTemplate) const;
    IdSet reanalyseShowFiles(bool skipBusy);
    bool anyUploadUnderWay(const InstallationGroup &group, qsizetype templateIndex) const;
    void updateClean();

    Groups m_installationGroups;
    Installations m_installations;
    Controllers m_controllers;
    QString m_masterPassword;
    UploadSchedule m_uploadSchedule;
    MailSettings m_mailSettings;
    IdSet m_expandedGroups;
    IdSet m_expandedInstallations;
    ColumnWidths m_mainWidths;
    ColumnWidths m_passwordWidths;
    QUndoStack *m_undoStack;
    bool m_masterPasswordChanged = false;
    bool m_lastClean = true;
    QString m_path;
    UploadFeedback *m_uploadFeedback;
    DocumentPrompts *m_prompts = nullptr;
};
