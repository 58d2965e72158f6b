#pragma once

// What the tests share beyond the fakes and the session of testsupport/: records, events, files
// and the windows shown.

#include "failingdisk.h"
#include "session.h"
#include "testmain.h"

#include "runjournal.h"
#include "setuprecord.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

inline SetupRecord makeRecord(bool two, const QString &v1 = "Mood", const QString &v2 = "Stress")
{
    SetupRecord r;
    r.SubjectName = "Ann";
    r.Variable = v1;
    r.Variable2Enabled = two;
    r.Variable2 = two ? v2 : QString();
    r.DateText = "6.12.2026";
    r.FileFullPath = "/clips/clip.avi";
    return r;
}

// A stored sample as the rating screen hands it to the journal, a second a row.
inline RunEvent sample(int row, int level1, int level2)
{
    RunEvent event;
    event.kind = RunEvent::Kind::Sample;
    event.row = row;
    event.level1 = level1;
    event.level2 = level2;
    event.time = (row - 1) * 1000;
    return event;
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QStringList visibleWindows()
{
    QStringList names;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible())
            names << w->objectName();
    names.sort();
    return names;
}

inline QString text(QWidget *parent, const char *label)
{
    return child<QLabel>(parent, label)->text();
}
