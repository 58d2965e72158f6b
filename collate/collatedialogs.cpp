#include "collatedialogs.h"

#include <QDir>
#include <QFileDialog>

QStringList QtCollateDialogs::openFiles(QWidget *parent, const OpenFileRequest &request)
{
    QFileDialog dialog(parent, request.title,
                       request.directory.isEmpty() ? QDir::homePath() : request.directory);
    // Qt's own dialog, as everywhere in Dialtrace.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(qtNameFilters(request.filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}
