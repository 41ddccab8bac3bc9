#pragma once

#include "smtp_authenicator.h"

#include <QAbstractSocket>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QStringList>

#include <memory>

class QSslSocket;
class QTimer;

// Sends one message to one mail server over SMTP and reports the outcome
// once with sent(bool); the owner then lets it go (connect sent to
// deleteLater). Every step is written to the event log in category SMTP.
//
//   Connecting --TCP up, 220--> Ehlo --250--> [Authenticating --235-->] MailFrom
//                                 \--500--> Helo --250--------------/
//   Ehlo --250 offering STARTTLS--> StartTls --220--> TlsHandshake --encrypted--> Ehlo
//   MailFrom --250--> RcptTo, once per recipient --> Data --354--> Message --250--> Quit
//   Quit --any reply or the server closing--> sent(outcome)
//
// An unexpected reply is logged and answered with QUIT, then sent(false). A
// refused connection, no greeting within the connect limit, a server that
// falls silent beyond the reply limit or drops the connection end the
// attempt at once with sent(false).
//
// On the implicit TLS port (465) the connection is encrypted from the first
// byte; on any other port the client asks for STARTTLS whenever the server
// offers it, before it authenticates. The server's certificate must be
// trusted and name the host: a failure ends the attempt, never falls back to
// plain text. Only a server that offers no STARTTLS is spoken to in plain text.
class Smtp : public QObject
{
    Q_OBJECT

public:
    // The dialogue's states; the first nine are those of an open connection.
    enum State
    {
        State_Greeting = 0, // connected, waiting for the server's 220
        State_Ehlo = 1,
        State_Helo = 2,
        State_Authenticating = 3,
        State_MailFrom = 4,
        State_RcptTo = 5,
        State_Data = 6,
        State_Message = 7, // message sent, waiting for its acceptance
        State_Quit = 8,
        State_Idle = 9, // before send
        State_Connecting = 10,
        State_Finished = 11, // sent(bool) has been emitted
        State_StartTls = 12, // STARTTLS sent
        State_TlsHandshake = 13
    };

    enum Mechanism
    {
        Mechanism_None = 0,
        Mechanism_CramMd5 = 1,
        Mechanism_Login = 2
    };

    static constexpr int DefaultConnectTimeout = 30000;
    // Long enough for the slowest answer RFC 5321 lets a server take (to the
    // end of the message data); only a hung server ever reaches it.
    static constexpr int DefaultReplyTimeout = 600000;
    // The submissions port (RFC 8314), where TLS starts with the connection.
    static constexpr uint DefaultImplicitTlsPort = 465;

    explicit Smtp(QObject *parent = nullptr);
    ~Smtp() override;

    void addRecipient(const QString &address);
    // The From: header as shown to the reader, e.g. "\"Name\" <>" or
    // "Name <ops@example.com>"; the envelope sender is the address inside.
    void setFrom(const QString &from);
    void setSubject(const QString &subject);
    void setBody(const QString &body);

    // How long the server may take to accept the connection and greet.
    void setConnectTimeout(int milliseconds);
    // How long the server may stay silent once the dialogue has begun.
    void setReplyTimeout(int milliseconds);
    // The port that is spoken to in TLS from the first byte; tests move it
    // to a free port of their own.
    void setImplicitTlsPort(uint port) { m_implicitTlsPort = port; }
    // The authorities trusted for the server's certificate instead of the
    // system's; for tests.
    void setCaCertificates(const QList<QSslCertificate> &certificates);

    State state() const { return m_state; }

public slots:
    void send(const QString &hostname, uint port = 25);

signals:
    // Emitted synchronously when the server offers authentication and the
    // credentials are incomplete; the receiver fills them in.
    void authenticationRequired(SmtpAuthenicator *credentials);
    // The end of the attempt, emitted once: true when the server took the message.
    void sent(bool delivered);
    // Part of the interface receivers may connect to; nothing emits it yet.
    void status(const QString &text);

private slots:
    void stateChanged(QAbstractSocket::SocketState socketState);
    void errorReceived(QAbstractSocket::SocketError socketError);
    void disconnected();
    void connected();
    void readyRead();
    void onConnectTimeout();
    void onReplyTimeout();
    void onEncrypted();
    void onSslErrors(const QList<QSslError> &errors);

private:
    struct Recipient
    {
        QString address;
        bool accepted = false;
    };

    QString buildMessage() const;
    void discardSocket();
    void handleReply(const QStringList &lines);
    void handleEhloReply(const QStringList &lines);
    void handleRecipientReply(int code);
    void handleChallenge(const QString &lastLine);
    void startHandshake();
    void warnOfPlainLogin();
    void authenticate(const QStringList &mechanisms);
    void sendCommand(const QString &text);
    void sendCommand(const QString &text, const QString &shownInLog);
    void sendMailFrom();
    void sendNextRecipient();
    void sendMessageData();
    void logDelivery();
    void fail(const QString &lastLine);
    void quit();
    void afterConnectionLoss(const QString &reason);
    void abandon(const QString &reason);
    void finish(bool delivered, bool dropConnection = false);
    bool isOpen() const
    {
        return m_state <= State_Quit || m_state == State_StartTls || m_state == State_TlsHandshake;
    }
    QString serverName() const;
    QString envelopeSender() const;

    QList<Recipient> m_recipients;
    QString m_from;
    QString m_subject;
    QString m_body;
    QString m_message;
    QSslSocket *m_socket = nullptr;
    QString m_hostname;
    uint m_port = 0;
    uint m_implicitTlsPort = DefaultImplicitTlsPort;
    QList<QSslCertificate> m_caCertificates;
    QString m_tlsErrors;
    QTimer *m_connectTimer;
    QTimer *m_replyTimer;
    State m_state = State_Idle;
    Mechanism m_mechanism = Mechanism_None;
    std::unique_ptr<SmtpAuthenicator> m_credentials;
    int m_loginAnswers = 0;
    QMap<QString, QStringList> m_capabilities;
    QStringList m_replyLines;
    int m_nextRecipient = 0;
    bool m_success = false;
};
