#include "import_command.h"

#include "lum_application.h"
#include "lum_document.h"
#include "project_json.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

namespace ImportCommand {

namespace {

constexpr qint64 MaximumJsonSize = 256 * 1024 * 1024;

QString tr(const char *text)
{
    return QCoreApplication::translate("ImportCommand", text);
}

// The line of a byte offset, for the operator to find a syntax error.
int lineAt(const QByteArray &text, qsizetype offset)
{
    return int(text.left(offset).count('\n')) + 1;
}

} // namespace

CliCommand command()
{
    return {"import", "import PROJECT.json OUT.lmp",
            "build a project from its JSON form (plain passwords are stored enciphered)", &run};
}

int run(const QStringList &arguments)
{
    if (arguments.size() != 2) {
        Cli::error(tr("import takes a JSON file and the project to write; usage: rigwarden-cli "
                      "import PROJECT.json OUT.lmp"));
        return Cli::ExitUsage;
    }
    const QString source = arguments.at(0);
    if (Cli::isSameFile(source, arguments.at(1))) {
        Cli::error(tr("the output %1 is the JSON file itself; name another project file")
                       .arg(arguments.at(1)));
        return Cli::ExitUsage;
    }
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        Cli::error(tr("cannot read %1: %2").arg(source, file.errorString()));
        return Cli::ExitUsage;
    }
    // The largest project is far smaller; a file named by mistake (a video,
    // /dev/zero) is not read whole.
    const QByteArray text = file.read(MaximumJsonSize + 1);
    if (text.size() > MaximumJsonSize) {
        Cli::error(tr("cannot import %1: it is larger than %2 MiB, too large for a project")
                       .arg(source)
                       .arg(MaximumJsonSize / (1024 * 1024)));
        return Cli::ExitUsage;
    }
    QJsonParseError parseError;
    const QJsonDocument json = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError || !json.isObject()) {
        const QString what = parseError.error != QJsonParseError::NoError
                                 ? tr("%1 at line %2")
                                       .arg(parseError.errorString())
                                       .arg(lineAt(text, parseError.offset))
                                 : tr("the text is not a JSON object");
        Cli::error(tr("cannot import %1: %2").arg(source, what));
        return Cli::ExitUsage;
    }
    LumDocument &document = *LumApplication::instance()->document();
    QString reason;
    if (!ProjectJson::fromJson(json.object(), document, &reason)) {
        Cli::error(tr("cannot import %1: %2").arg(source, reason));
        return Cli::ExitUsage;
    }
    if (!document.saveAs(arguments.at(1), &reason)) {
        Cli::error(tr("cannot write %1: %2").arg(arguments.at(1), reason));
        return 1;
    }
    return 0;
}

} // namespace ImportCommand
