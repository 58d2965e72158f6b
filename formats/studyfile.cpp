#include "studyfile.h"

#include "files.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A study written by hand is a few KB; nothing larger is one.
constexpr qint64 MaxStudyFileBytes = 1024 * 1024;

const QString AsListed = QStringLiteral("as listed");
const QString Shuffled = QStringLiteral("shuffled");
const QString Balanced = QStringLiteral("balanced");
const QStringList Fields = {
    QStringLiteral("title"),        QStringLiteral("variables"), QStringLiteral("clips"),
    QStringLiteral("order"),        QStringLiteral("orders"),    QStringLiteral("practice"),
    QStringLiteral("showResults"),  QStringLiteral("pause"),     QStringLiteral("rerunInterrupted"),
    QStringLiteral("instructions"), QStringLiteral("results"),   QStringLiteral("input")};

int lineAt(const QByteArray &bytes, int offset)
{
    return static_cast<int>(bytes.left(offset).count('\n')) + 1;
}

class Checker
{
public:
    Checker(const QString &folder, QStringList *problems) : m_folder(folder), m_problems(problems)
    {
    }

    void fail(const QString &field, const QString &what)
    {
        m_problems->append(QLatin1Char('"') + field + QStringLiteral("\": ") + what);
    }

    // A clip that must be there: a plain file, a link to one included.
    void checkClip(const QString &field, const QString &written)
    {
        if (written.trimmed().isEmpty()) {
            fail(field, QStringLiteral("a clip's path is empty"));
            return;
        }
        const QFileInfo info(QDir(m_folder).absoluteFilePath(written));
        if (!info.exists())
            fail(field, QStringLiteral("\"%1\" is not there").arg(written));
        else if (!info.isFile())
            fail(field, QStringLiteral("\"%1\" is not a file").arg(written));
    }

    QString text(const QJsonObject &json, const QString &field, const QString &otherwise)
    {
        const QJsonValue value = json.value(field);
        if (value.isUndefined())
            return otherwise;
        if (!value.isString())
            fail(field, QStringLiteral("must be text in quotes"));
        return value.toString();
    }

    bool flag(const QJsonObject &json, const QString &field, bool otherwise)
    {
        const QJsonValue value = json.value(field);
        if (!value.isUndefined() && !value.isBool())
            fail(field, QStringLiteral("must be true or false"));
        return value.toBool(otherwise);
    }

    QStringList texts(const QJsonObject &json, const QString &field)
    {
        return texts(field, json.value(field));
    }

    QStringList texts(const QString &field, const QJsonValue &value)
    {
        QStringList found;
        if (value.isUndefined()) {
            fail(field, QStringLiteral("is missing, and a study needs it"));
            return found;
        }
        if (!value.isArray()) {
            fail(field, QStringLiteral("must be a list in [ ]"));
            return found;
        }
        for (const QJsonValue item : value.toArray()) {
            if (!item.isString())
                fail(field, QStringLiteral("must hold text in quotes only"));
            found.append(item.toString());
        }
        return found;
    }

private:
    QString m_folder;
    QStringList *m_problems;
};

} // namespace

QString Study::clipPath(const QString &written) const
{
    return QDir::cleanPath(QDir(QFileInfo(path).absolutePath()).absoluteFilePath(written));
}

namespace StudyFile {

std::optional<Study> read(const QString &path, QStringList *problems)
{
    QByteArray bytes;
    if (!Files::readFileStart(path, MaxStudyFileBytes + 1, &bytes)) {
        problems->append(QStringLiteral("It cannot be read as a file."));
        return std::nullopt;
    }
    if (bytes.size() > MaxStudyFileBytes) {
        problems->append(QStringLiteral("It is larger than any study file (1 MB)."));
        return std::nullopt;
    }
    return parse(path, bytes, problems);
}

std::optional<Study> parse(const QString &path, const QByteArray &bytes, QStringList *problems)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        problems->append(
            QStringLiteral("Line %1: %2.")
                .arg(QString::number(lineAt(bytes, error.offset)), error.errorString()));
        return std::nullopt;
    }
    if (!document.isObject()) {
        problems->append(QStringLiteral("It must be one object in { }."));
        return std::nullopt;
    }
    const QJsonObject json = document.object();
    Study study;
    study.path = QFileInfo(path).absoluteFilePath();
    const QString folder = QFileInfo(study.path).absolutePath();
    const qsizetype before = problems->size();
    Checker check(folder, problems);
    for (auto it = json.begin(); it != json.end(); ++it) {
        if (!Fields.contains(it.key()))
            check.fail(it.key(), QStringLiteral("is not a field of a study (a misspelling?)"));
    }

    study.title = check.text(json, QStringLiteral("title"), QFileInfo(path).completeBaseName());
    study.variables = check.texts(json, QStringLiteral("variables"));
    if (json.contains(QStringLiteral("variables")) &&
        (study.variables.isEmpty() || study.variables.size() > 2))
        check.fail(QStringLiteral("variables"), QStringLiteral("must name one or two variables"));
    // The results file's header holds the names between commas.
    for (const QJsonValue item : json.value(QStringLiteral("variables")).toArray()) {
        const QString variable = item.toString();
        if (!item.isString())
            continue;
        if (variable.trimmed().isEmpty())
            check.fail(QStringLiteral("variables"), QStringLiteral("a name is empty"));
        else if (variable.contains(QLatin1Char(',')))
            check.fail(QStringLiteral("variables"),
                       QStringLiteral("\"%1\" holds a comma, which the results file cannot")
                           .arg(variable));
    }
    if (study.variables.size() == 2 &&
        study.variables[0].trimmed() == study.variables[1].trimmed() &&
        !study.variables[0].trimmed().isEmpty())
        check.fail(QStringLiteral("variables"), QStringLiteral("names the same variable twice"));
    study.clips = check.texts(json, QStringLiteral("clips"));
    if (json.contains(QStringLiteral("clips")) &&
        (study.clips.isEmpty() || study.clips.size() > MostClips))
        check.fail(QStringLiteral("clips"),
                   QStringLiteral("must list from 1 to %1 clips").arg(MostClips));
    for (const QString &clip : std::as_const(study.clips))
        check.checkClip(QStringLiteral("clips"), clip);
    study.practice = check.text(json, QStringLiteral("practice"), QString());
    if (json.contains(QStringLiteral("practice")))
        check.checkClip(QStringLiteral("practice"), study.practice);

    const QString order = check.text(json, QStringLiteral("order"), AsListed);
    if (order != AsListed && order != Shuffled && order != Balanced)
        check.fail(
            QStringLiteral("order"),
            QStringLiteral("must be \"%1\", \"%2\" or \"%3\"").arg(AsListed, Shuffled, Balanced));
    study.order = order == Shuffled   ? Study::Order::Shuffled
                  : order == Balanced ? Study::Order::Balanced
                                      : Study::Order::AsListed;
    if (const QJsonValue orders = json.value(QStringLiteral("orders")); !orders.isUndefined()) {
        const QString field = QStringLiteral("orders");
        if (json.contains(QStringLiteral("order")))
            check.fail(field, QStringLiteral("and \"order\" cannot both be given"));
        if (!orders.isArray() || orders.toArray().isEmpty())
            check.fail(field, QStringLiteral("must be a list of orders, each a list of the clips"));
        QStringList sorted = study.clips;
        sorted.sort();
        for (const QJsonValue listed : orders.toArray()) {
            QStringList clips = check.texts(field, listed);
            study.orders.append(clips);
            clips.sort();
            if (clips != sorted) {
                check.fail(field, QStringLiteral("each order must list every clip once"));
                break;
            }
        }
        study.order = Study::Order::ByHand;
    }
    const QString input = check.text(json, QStringLiteral("input"), Input::name(InputMode::Steps));
    if (const auto mode = Input::fromName(input))
        study.input = *mode;
    else
        check.fail(QStringLiteral("input"), QStringLiteral("must be \"steps\" or \"position\""));
    study.showResults = check.flag(json, QStringLiteral("showResults"), false);
    study.pause = check.flag(json, QStringLiteral("pause"), false);
    study.rerunInterrupted = check.flag(json, QStringLiteral("rerunInterrupted"), true);
    study.instructions = check.text(json, QStringLiteral("instructions"), QString());
    const QString results = check.text(json, QStringLiteral("results"), QStringLiteral("results"));
    if (results.trimmed().isEmpty())
        check.fail(QStringLiteral("results"), QStringLiteral("must name a folder"));
    study.resultsFolder = QDir::cleanPath(QDir(folder).absoluteFilePath(results));
    if (const QFileInfo there(study.resultsFolder); there.exists() && !there.isDir())
        check.fail(QStringLiteral("results"),
                   QStringLiteral("\"%1\" is a file, not a folder").arg(results));
    if (problems->size() > before)
        return std::nullopt;
    return study;
}

} // namespace StudyFile
