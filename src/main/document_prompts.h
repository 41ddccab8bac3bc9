#pragma once

#include <QString>

#include <optional>

// The questions the project document has to ask the operator. The GUI
// answers them with message boxes and the password dialog; a tool without
// an operator answers them without asking (UnattendedPrompts). Titles and
// texts arrive translated and complete.
class DocumentPrompts
{
public:
    virtual ~DocumentPrompts() = default;

    // A warning box with an OK button, over the main window. The document
    // uses it for "Duplicate Host".
    virtual void warn(const QString &title, const QString &text) = 0;

    // A question box with Yes and No buttons; true for Yes. The document
    // uses it for "Cancel uploads".
    virtual bool askYesNo(const QString &title, const QString &text) = 0;

    // The password dialog ("Password Required") with the label and the
    // enciphered previous value filled in. The enciphered value accepted,
    // or nothing when the operator cancelled.
    virtual std::optional<QString> askPassword(const QString &label, const QString &previous) = 0;
};
