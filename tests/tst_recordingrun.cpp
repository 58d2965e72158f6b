#include "fakedialogs.h"
#include "mainform.h"
#include "qtmediaplayer.h"
#include "setuprecord.h"

#include <QDataStream>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A silent 8 kHz mono 16-bit WAV of the given length.
bool writeWav(const QString &path, double seconds)
{
    constexpr quint32 rate = 8000;
    const auto samples = static_cast<quint32>(seconds * rate);
    const quint32 dataBytes = samples * 2;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << rate << quint32(rate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    file.write(QByteArray(static_cast<qsizetype>(dataBytes), '\0'));
    return file.error() == QFileDevice::NoError;
}

} // namespace

// A recording on a real clip with the real player and real timers: as many samples as the clip
// has whole seconds, no more.
class TestRecordingRun : public QObject
{
    Q_OBJECT
private slots:
    void realClip_data();
    void realClip();
};

void TestRecordingRun::realClip_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("samples");
    QTest::addColumn<QString>("length");

    QTest::newRow("3.5 s") << 3.5 << 3 << "3.5";
    QTest::newRow("2 s") << 2.0 << 2 << "2";
}

void TestRecordingRun::realClip()
{
    QFETCH(double, seconds);
    QFETCH(int, samples);
    QFETCH(QString, length);

    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.wav");
    QVERIFY(writeWav(clip, seconds));

    SetupRecord record;
    record.Variable = "Mood";
    record.FileFullPath = clip;
    FakeDialogs dialogs;
    QtMediaPlayer player;
    MainForm form(record, player, dialogs);
    form.show();

    // Hold the level up until the recording ends, so every sample is non-zero.
    QTRY_VERIFY_WITH_TIMEOUT(form.isRecording(), 10000);
    form.press(Rating::Button::Increase1);
    form.press(Rating::Button::Increase1);
    form.press(Rating::Button::Increase1);
    form.press(Rating::Button::Increase1);
    form.press(Rating::Button::Increase1);
    QTRY_VERIFY_WITH_TIMEOUT(!form.isRecording(), 15000);

    QCOMPARE(form.recordRow(), samples + 1);
    const RecordTable *table = form.table();
    QVERIFY(table);
    QCOMPARE(table->lastRow(), 61);
    for (int row = 2; row <= samples + 1; ++row) {
        QVERIFY(table->cell(row, 1).has_value());
        QVERIFY(*table->cell(row, 1) > 0);
        QCOMPARE(table->cell(row, 2), std::optional<qint16>(0));
    }
    QVERIFY(!table->cell(samples + 2, 1));
    QCOMPARE(form.findChild<QLabel *>("Label5")->text(), QStringLiteral("61"));
    QCOMPARE(form.findChild<QLabel *>("Label6")->text(),
             QString(length).replace('.', QLocale().decimalPoint()));
    QVERIFY(dialogs.messages.isEmpty());

    // The recording stays over while the screen lives on.
    QTest::qWait(1200);
    QCOMPARE(form.recordRow(), samples + 1);
}

QTEST_MAIN(TestRecordingRun)
#include "tst_recordingrun.moc"
