#include "preferences.h"

#include "lum_assert.h"

namespace {
// The settings store hands integers and booleans back as text; the cache holds
// them in the type of their default, and a stored value that cannot be
// converted gives the default.
QVariant typedLike(QVariant stored, const QVariant &defaultValue)
{
    if (!defaultValue.isValid() || stored.metaType() == defaultValue.metaType())
        return stored;
    if (defaultValue.typeId() == QMetaType::Bool) {
        // Qt turns any text but "", "0" and "false" into true; only the texts
        // the store itself writes count.
        const QString text = stored.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
        return defaultValue;
    }
    return stored.convert(defaultValue.metaType()) ? stored : defaultValue;
}
} // namespace

Preferences::Preferences(const QString &organisation, const QString &application, QObject *parent)
    : QObject(parent),
      m_settings(QSettings::NativeFormat, QSettings::UserScope, organisation, application)
{}

QVariant Preferences::value(uint key) const
{
    return m_values.value(key);
}

void Preferences::setValue(uint key, const QVariant &value)
{
    const auto cached = m_values.constFind(key);
    if (cached != m_values.constEnd() && *cached == value)
        return;
    m_values.insert(key, value);
    writeValue(key, value);
    emit valueChanged(key, value);
}

QString Preferences::name(uint key) const
{
    const auto &keyLookup = m_keyLookup;
    const auto iKey = keyLookup.find(key);
    LUM_ASSERT(iKey != keyLookup.end());
    return *iKey;
}

void Preferences::registerKey(uint key, const QString &name, const QVariant &defaultValue)
{
    m_keyLookup.insert(key, name);
    m_values.insert(key, typedLike(readValue(key, defaultValue), defaultValue));
}

void Preferences::writeValue(uint key, const QVariant &value)
{
    m_settings.setValue(name(key), value);
}

QVariant Preferences::readValue(uint key, const QVariant &defaultValue)
{
    return m_settings.value(name(key), defaultValue);
}
