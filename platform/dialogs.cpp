#include "dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString chosenFile(QFileDialog &dialog)
{
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

void prepare(QFileDialog &dialog, const QString &filter)
{
    // Qt's own dialog looks and behaves the same on every desktop, which the operators'
    // written procedures can rely on.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Each entry reads as its description alone; the patterns after it still filter.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(qtNameFilters(filter));
}

} // namespace

QStringList qtNameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts[i];
        const QString patterns =
            parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        result.append(QStringLiteral("%1 (%2)").arg(description, patterns));
    }
    return result;
}

QString QtDialogs::openFile(QWidget *parent, const OpenFileRequest &request)
{
    QFileDialog dialog(parent, request.title, request.directory);
    prepare(dialog, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name that does not exist is handed on like any other.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    return chosenFile(dialog);
}

QStringList QtDialogs::openFiles(QWidget *parent, const OpenFileRequest &request)
{
    QFileDialog dialog(parent, request.title,
                       request.directory.isEmpty() ? QDir::homePath() : request.directory);
    prepare(dialog, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

QString QtDialogs::saveFile(QWidget *parent, const QString &fileName, const QString &filter)
{
    // The offered name has no folder: start in the home folder, or where the last export went,
    // rather than wherever the clip was chosen.
    if (m_saveDirectory.isEmpty())
        m_saveDirectory = QDir::homePath();
    QFileDialog dialog(parent, QString(), m_saveDirectory);
    prepare(dialog, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(fileName);
    const QString path = chosenFile(dialog);
    if (!path.isEmpty())
        m_saveDirectory = QFileInfo(path).absolutePath();
    return path;
}

void QtDialogs::message(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, text, QMessageBox::Ok, parent);
    // Messages quote names and paths as typed, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtDialogs::confirm(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}
