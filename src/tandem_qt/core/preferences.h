#pragma once

#include <QMap>
#include <QObject>
#include <QSettings>
#include <QVariant>

// A registry of numbered keys, each with a settings name and a default, over
// the per-user settings store. Values are cached from registration on; a
// subclass may keep a key elsewhere by overriding writeValue/readValue.
class Preferences : public QObject
{
    Q_OBJECT

public:
    Preferences(const QString &organisation, const QString &application, QObject *parent = nullptr);

    // The cached value; an invalid QVariant for a key never registered.
    QVariant value(uint key) const;
    // Writes and announces the value unless it equals the cached one.
    void setValue(uint key, const QVariant &value);
    // The settings name of a registered key.
    QString name(uint key) const;

signals:
    void valueChanged(uint key, const QVariant &value);

protected:
    void registerKey(uint key, const QString &name, const QVariant &defaultValue);
    virtual void writeValue(uint key, const QVariant &value);
    virtual QVariant readValue(uint key, const QVariant &defaultValue);

private:
    QMap<uint, QString> m_keyLookup;
    QMap<uint, QVariant> m_values;
    QSettings m_settings;
};
