#include "screenorder.h"

#include "dialogs.h"
#include "files.h"
#include "form1.h"
#include "instructionsform.h"
#include "mainform.h"
#include "mediaplayer.h"
#include "outputform.h"
#include "resultsfile.h"
#include "variableform.h"

#include <QDir>

ScreenOrder::ScreenOrder(Dialogs &dialogs, MediaPlayer &player, const QString &applicationDirectory,
                         QObject *parent)
    : QObject(parent), m_dialogs(dialogs), m_player(player),
      m_applicationDirectory(applicationDirectory)
{
}

ScreenOrder::~ScreenOrder()
{
    // The rating screen holds the player's picture; it goes before the player does.
    delete m_outputForm;
    delete m_mainForm;
    delete m_instructionsForm;
    delete m_variableForm;
    delete m_splash;
}

void ScreenOrder::start()
{
    m_splash = new Form1;
    m_splash->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_splash, &Form1::handOverRequested, this, &ScreenOrder::handOverFromSplash);
    connect(m_splash, &Form1::closeAllRequested, this, &ScreenOrder::closeAll);
    m_splash->show();
}

void ScreenOrder::handOverFromSplash()
{
    if (m_ended || m_variableForm)
        return;
    // From here on the splash only goes away; closing it no longer ends anything.
    disconnect(m_splash, &Form1::closeAllRequested, this, &ScreenOrder::closeAll);
    m_splash->hide();
    m_variableForm = new VariableForm(m_dialogs);
    connect(m_variableForm, &VariableForm::recordReady, this, &ScreenOrder::showInstructions);
    connect(m_variableForm, &VariableForm::closeAllRequested, this, &ScreenOrder::closeAll);
    m_variableForm->show();
    m_splash->close();
}

void ScreenOrder::showInstructions()
{
    if (m_ended || m_instructionsForm || m_mainForm)
        return;
    m_instructionsForm = new InstructionsForm(m_variableForm->record(), m_applicationDirectory);
    m_instructionsForm->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_instructionsForm, &InstructionsForm::proceedPressed, this,
            &ScreenOrder::showRatingScreen);
    connect(m_instructionsForm, &InstructionsForm::closeAllRequested, this, &ScreenOrder::closeAll);
    m_instructionsForm->show();
}

void ScreenOrder::showRatingScreen()
{
    if (m_ended || m_mainForm)
        return;
    m_instructionsForm->hide();
    m_mainForm = new MainForm(m_variableForm->record(), m_player, m_dialogs);
    connect(m_mainForm, &MainForm::finishPressed, this, &ScreenOrder::finishRun);
    connect(m_mainForm, &MainForm::closeAllRequested, this, &ScreenOrder::closeAll);
    m_mainForm->show();
    m_instructionsForm->close();
}

QString ScreenOrder::resultsFilePath() const
{
    return ResultsFile::path(m_applicationDirectory);
}

void ScreenOrder::finishRun()
{
    if (m_ended || m_outputForm || !m_mainForm)
        return;
    MainForm &rating = *m_mainForm;
    rating.hide();
    m_outputForm = new OutputForm(m_variableForm->record(), m_dialogs, m_applicationDirectory,
                                  [player = &m_player] { return player->duration(); });
    m_outputForm->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_outputForm, &OutputForm::closeAllRequested, this, &ScreenOrder::closeAll);
    m_outputForm->show();

    rating.stopRun();
    m_outputForm->setCounts(rating.state());
    m_outputForm->setTable(rating.table());
    const QByteArray bytes =
        ResultsFile::bytes(m_variableForm->record(), rating.state().TwoVariables, rating.table());
    m_outputForm->setResultsBytes(bytes);
    QString error;
    const bool written = Files::writeFile(resultsFilePath(), bytes, &error);
    m_outputForm->setResultsSaved(written);
    if (!written) {
        m_dialogs.message(m_outputForm,
                          QStringLiteral("The results could not be saved as \"%1\".\n\n%2\n\n"
                                         "They are kept until you close this window: use \"Export "
                                         "to Excel\" to save them elsewhere.")
                              .arg(QDir::toNativeSeparators(resultsFilePath()), error));
    }
}

void ScreenOrder::closeAll()
{
    if (m_ended)
        return;
    m_ended = true;
    if (m_mainForm) {
        m_mainForm->endForGood();
        // The clip stops with the run, not only when the process is gone.
        m_mainForm->stopRun();
    }
    if (m_outputForm)
        m_outputForm->endForGood();
    for (QWidget *screen : std::initializer_list<QWidget *>{
             m_outputForm, m_mainForm, m_instructionsForm, m_variableForm, m_splash}) {
        if (screen)
            screen->close();
    }
    emit ended();
}
