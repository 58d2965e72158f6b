#include "dialogs.h"
#include "files.h"
#include "instructions.h"
#include "setuprecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class TestFiles : public QObject
{
    Q_OBJECT
private slots:
    void windows1252_data();
    void windows1252();
    void everyByteRoundTrips();
    void readFileContents_data();
    void readFileContents();
    void unreadableFileIsEmpty();
    void instructionLines_data();
    void instructionLines();
    void writeFileReplacesOrKeepsOld();
    void nameFilters();
};

void TestFiles::windows1252_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ascii") << "Time,Mood" << QByteArray("Time,Mood");
    QTest::newRow("latin-1 letters") << QStringLiteral("Zoë ß") << QByteArray("Zo\xEB \xDF");
    QTest::newRow("euro and quotes")
        << QStringLiteral("€ “x” …") << QByteArray("\x80 \x93x\x94 \x85");
    QTest::newRow("missing characters become ?") << QStringLiteral("中文") << QByteArray("??");
    QTest::newRow("one ? for a character beyond 16 bits")
        << QStringLiteral("a😀b") << QByteArray("a?b");
}

void TestFiles::windows1252()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Files::toWindows1252(text), bytes);
    if (!bytes.contains('?'))
        QCOMPARE(Files::fromWindows1252(bytes), text);
}

void TestFiles::everyByteRoundTrips()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = Files::fromWindows1252(all);
    QCOMPARE(text.size(), 256); // one character per byte
    QCOMPARE(Files::toWindows1252(text), all);
}

void TestFiles::readFileContents_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: make a directory of that name
    QTest::addColumn<QString>("expected");

    QTest::newRow("missing") << "" << QByteArray() << "";
    QTest::newRow("empty file") << "Instructions.txt" << QByteArray("") << "";
    QTest::newRow("whole text, line breaks and blanks kept")
        << "Instructions.txt" << QByteArray("  Watch.\r\nPress\x1A on\xE9.\r\n\r\n")
        << QStringLiteral("  Watch.\r\nPress\x1A on\u00E9.\r\n\r\n");
    QTest::newRow("directory of that name counts as absent")
        << "Instructions.txt" << QByteArray() << "";
    QTest::newRow("name differing in case is not found")
        << "instructions.TXT" << QByteArray("hello") << "";
}

void TestFiles::readFileContents()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!name.isEmpty()) {
        if (content.isNull()) {
            QVERIFY(QDir(dir.path()).mkdir(name));
        } else {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
    }
    const QString path = Instructions::filePath(dir.path());
    QCOMPARE(path, dir.path() + "/Instructions.txt");
    QCOMPARE(Instructions::ReadFileContents(path), expected);
}

void TestFiles::unreadableFileIsEmpty()
{
    if (geteuid() == 0)
        QSKIP("root reads any file; permissions cannot make it unreadable");
    QTemporaryDir dir;
    QFile file(dir.filePath("Instructions.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("secret");
    file.close();
    QVERIFY(file.setPermissions(QFileDevice::WriteOwner));
    QCOMPARE(Instructions::ReadFileContents(file.fileName()), QString());
}

void TestFiles::instructionLines_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("v1");
    QTest::addColumn<QString>("v2");
    QTest::addColumn<bool>("two");
    QTest::addColumn<QString>("greeting");
    QTest::addColumn<QString>("variables");

    QTest::newRow("one variable") << "Ann"
                                  << "Trust"
                                  << "" << false << "Good luck Ann"
                                  << "Today's Variable is Trust";
    QTest::newRow("two variables") << "Ann"
                                   << "Trust"
                                   << "Fear" << true << "Good luck Ann"
                                   << "Today's Variable's are Trust and Fear";
    QTest::newRow("two variables, second name empty") << "Ann"
                                                      << "Trust"
                                                      << "" << true << "Good luck Ann"
                                                      << "Today's Variable's are Trust and ";
    QTest::newRow("empty subject keeps the blank") << ""
                                                   << ""
                                                   << "" << false << "Good luck "
                                                   << "Today's Variable is ";
}

void TestFiles::instructionLines()
{
    QFETCH(QString, subject);
    QFETCH(QString, v1);
    QFETCH(QString, v2);
    QFETCH(bool, two);
    QFETCH(QString, greeting);
    QFETCH(QString, variables);

    SetupRecord record;
    record.SubjectName = subject;
    record.Variable = v1;
    record.Variable2 = v2;
    record.Variable2Enabled = two;
    QCOMPARE(Instructions::greeting(record), greeting);
    QCOMPARE(Instructions::variablesLine(record), variables);
}

void TestFiles::writeFileReplacesOrKeepsOld()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("temp.csv");
    QVERIFY(Files::writeFile(path, "old\r\n"));
    QVERIFY(Files::writeFile(path, "new\r\n"));
    QByteArray read;
    QVERIFY(Files::readFile(path, &read));
    QCOMPARE(read, QByteArray("new\r\n"));

    // A directory in the way: the write fails with a reason.
    QVERIFY(QDir(dir.path()).mkdir("blocked.csv"));
    QString error;
    QVERIFY(!Files::writeFile(dir.filePath("blocked.csv"), "x", &error));
    QVERIFY(!error.isEmpty());

    QVERIFY(Files::isSameFile(path, dir.path() + "/./temp.csv"));
    QVERIFY(!Files::isSameFile(path, dir.filePath("other.csv")));
}

void TestFiles::nameFilters()
{
    QCOMPARE(qtNameFilters("Movie Files (*.avi,*.mpg,*.mpeg,*.wmv)|*.avi;*.mpg;*.mpeg;*.wmv|"
                           "MP3/Wav Sound Files (*.mp3;*.wav)|*.mp3;*.wav|"),
             (QStringList{"Movie Files (*.avi,*.mpg,*.mpeg,*.wmv) (*.avi *.mpg *.mpeg *.wmv)",
                          "MP3/Wav Sound Files (*.mp3;*.wav) (*.mp3 *.wav)"}));
    QCOMPARE(qtNameFilters("JPEG Images .JPG|*.JPG|"), QStringList{"JPEG Images .JPG (*.JPG)"});
}

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
