#pragma once

#include "lum_application.h"
#include "lum_document.h"

#include <QUndoCommand>

#include <utility>

// An edit that exchanges one value: the command holds the new value, and
// redo and undo are the same step: read the entity's current value, apply
// the held one through the entity's own setter (so its side effects happen)
// and hold the value read. Subclasses say how to read and apply.
template <typename Value>
class SwapCommand : public QUndoCommand
{
public:
    void redo() override { swap(); }
    void undo() override { swap(); }

protected:
    SwapCommand(const QString &text, const Value &value, QUndoCommand *parent)
        : QUndoCommand(text, parent), m_value(value)
    {}

    // The document the commands edit: the application's.
    static LumDocument *document() { return LumApplication::instance()->document(); }

    virtual Value currentValue() const = 0;
    virtual void apply(const Value &value) = 0;

private:
    void swap()
    {
        Value current = currentValue();
        apply(m_value);
        m_value = std::move(current);
    }

    Value m_value;
};
