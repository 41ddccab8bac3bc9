#pragma once

#include "document_prompts.h"

// Answers the document's questions without an operator: warnings are
// written to the event log, questions get the answer that keeps running work
// going (No unless told otherwise), and a password prompt is cancelled so the
// stored password is used. The document uses one when no other is set.
class UnattendedPrompts : public DocumentPrompts
{
public:
    explicit UnattendedPrompts(bool answer = false) : m_answer(answer) {}

    void warn(const QString &title, const QString &text) override;
    bool askYesNo(const QString &title, const QString &text) override;
    std::optional<QString> askPassword(const QString &label, const QString &previous) override;

private:
    bool m_answer;
};
