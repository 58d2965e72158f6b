#include "fakedialogs.h"

QString FakeDialogs::openFile(QWidget *, const OpenFileRequest &request)
{
    openRequests.append(request);
    return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
}

QString FakeDialogs::saveFile(QWidget *, const QString &fileName, const QString &filter)
{
    saveNames.append(fileName);
    saveFilters.append(filter);
    return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
}

void FakeDialogs::message(QWidget *, const QString &text)
{
    messages.append(text);
    if (onMessage)
        onMessage(text);
}

bool FakeDialogs::confirm(QWidget *, const QString &text)
{
    questions.append(text);
    return confirmAnswer;
}
