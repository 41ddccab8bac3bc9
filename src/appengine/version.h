#pragma once

#include <QString>

#include <compare>

// A release of the application: major, minor, point and one byte whose two
// high bits give the release type and whose six low bits the build number.
class Version
{
public:
    enum Type : quint8
    {
        Type_Final = 0x00,
        Type_ReleaseCandidate = 0x40,
        Type_Beta = 0x80,
        Type_Debug = 0xC0
    };
    static constexpr quint8 TypeMask = 0xC0;
    static constexpr quint8 BuildMask = 0x3F;

    constexpr Version() = default;
    constexpr Version(quint8 major, quint8 minor, quint8 point, quint8 typeAndBuild = 0)
        : m_major(major), m_minor(minor), m_point(point), m_typeAndBuild(typeAndBuild)
    {}

    // "1.2", "1.2.3", "1.2.3 BETA4"; any other text gives 0.0.0.
    static Version fromString(const QString &text);
    // "1.2", "1.2.3", "1.2.3 BETA4": the point only when it is not 0.
    QString toString() const;

    quint8 majorVersion() const { return m_major; }
    quint8 minorVersion() const { return m_minor; }
    quint8 pointVersion() const { return m_point; }
    quint8 typeAndBuild() const { return m_typeAndBuild; }
    Type type() const { return Type(m_typeAndBuild & TypeMask); }
    int build() const { return m_typeAndBuild & BuildMask; }
    // A final release; anything else is a pre-release.
    bool isFinal() const { return m_typeAndBuild == 0; }
    bool isNull() const { return *this == Version(); }

    friend bool operator==(const Version &, const Version &) = default;
    // Numbers first; then final > release candidate > beta > debug build;
    // then the higher build.
    friend std::strong_ordering operator<=>(const Version &a, const Version &b);

private:
    quint8 m_major = 0;
    quint8 m_minor = 0;
    quint8 m_point = 0;
    quint8 m_typeAndBuild = 0;
};
