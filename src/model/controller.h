#pragma once

#include "controller_template.h"
#include "sortvector.h"

#include <QObject>
#include <QString>

#include <memory>

// What the controller link knows of a controller's presence on the network.
enum DiscoveryState
{
    // Never answered, or forgotten after an address change or undiscover().
    Discovery_NotFound = 0,
    // Answered with a hardware type that is not equivalent to the template's.
    Discovery_WrongType = 1,
    // Answered with an equivalent hardware type; uploads are allowed.
    Discovery_Found = 2
};

// One networked show controller of a project: its configuration (where it is,
// its password, its installation) and its own copy of the controller template
// it is built from, against which it decides what to upload. Changing the
// address stops the link's work, forgets the discovery result and discovers
// the controller again.
class Controller : public QObject, public sortvector_el
{
    Q_OBJECT

public:
    static constexpr uint NoInstallation = uint(-1);
    static constexpr uint DefaultHttpPort = 80;
    static constexpr uint DefaultFtpPort = 21;

    explicit Controller(const ControllerTemplatePtr &controllerTemplate, QObject *parent = nullptr);

    uint installationId() const { return m_installationId; }
    void setInstallationId(uint installationId) { m_installationId = installationId; }

    // A host name or dotted IPv4 address; "0.0.0.0" stands for none.
    QString hostname() const { return m_hostname; }
    // An empty text is stored as "0.0.0.0".
    void setHostname(const QString &hostname);
    uint httpPort() const { return m_httpPort; }
    void setHttpPort(uint port);
    uint ftpPort() const { return m_ftpPort; }
    // The FTP port plays no part in discovery, so the controller is not
    // discovered again.
    void setFtpPort(uint port);
    // Stores an address read from a project file without the setters' side
    // effects: nothing is running yet and nothing is to be announced.
    void restoreAddress(const QString &hostname, uint httpPort, uint ftpPort);

    // Enciphered; empty when the controller has none of its own.
    QString password() const { return m_password; }
    void setPassword(const QString &enciphered) { m_password = enciphered; }

    std::shared_ptr<const ControllerTemplate> controllerTemplate() const { return m_template; }
    // Takes a copy of the template. A controller of another hardware type has
    // to be discovered again when `rediscover` is set.
    void setTemplate(const ControllerTemplatePtr &controllerTemplate, bool rediscover);

    DiscoveryState discoveryState() const { return m_discoveryState; }

    // Builds the list of files to send from the template again, for a show
    // file that has gone from the disk.
    void rebuildFilesToUpload();

public slots:
    // Starts or restarts finding the controller on the network.
    virtual void discover();
    // Stops all discovery work and forgets the controller's presence.
    virtual void undiscover();
    // Cancels a pending retry or a running upload.
    virtual void cancelUpload();

protected:
    // Announces a change of state to the application.
    void setDiscoveryState(DiscoveryState state);

private:
    void announceChange();

    uint m_installationId = NoInstallation;
    QString m_hostname;
    uint m_httpPort = DefaultHttpPort;
    uint m_ftpPort = DefaultFtpPort;
    QString m_password;
    ControllerTemplatePtr m_template;
    DiscoveryState m_discoveryState = Discovery_NotFound;
};
