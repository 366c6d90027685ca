// The EDID file: what opening a file does to the image, saving through a new file renamed over
// the old one, and every failure leaving both the image and the old file as they were.
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include "edid/EdidHeader.h"
#include "edid/EdidImageFile.h"

namespace {

QByteArray bytesOf(const EdidImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), int(image.size()));
}

EdidImage counting() {
    EdidImage image;
    for (int i = 0; i < 256; ++i) image[i] = quint8(255 - i);
    return image;
}

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// A save that must fail: false, a reason naming the path, the old file unchanged and no
// leftover file beside it.
void expectFailedSave(const QString& path, const QByteArray& old, const char* what) {
    QString error;
    const QStringList before = QFileInfo(path).dir().entryList(QDir::Files);
    QVERIFY2(!EdidImageFile::save(path, counting(), error), what);
    QVERIFY2(error.contains(path), qPrintable(error));
    QVERIFY2(error.size() > path.size() + 2, qPrintable(error));  // and the system's reason
    if (!old.isNull())
        QCOMPARE(readFile(path), old);
    QCOMPARE(QFileInfo(path).dir().entryList(QDir::Files), before);
}

}  // namespace

class TestEdidFile : public QObject {
    Q_OBJECT

private slots:
    void openReplacesOnlyWhatTheFileHolds() {
        QTemporaryDir dir;
        QString error;
        const EdidImage start = counting();

        EdidImage image = start;
        QVERIFY(EdidImageFile::load(writeFile(dir.filePath("short.bin"), QByteArray(128, '\x11')),
                                    image, error));
        QCOMPARE(bytesOf(image).left(128), QByteArray(128, '\x11'));
        QCOMPARE(bytesOf(image).mid(128), bytesOf(start).mid(128));

        image = start;
        QVERIFY(EdidImageFile::load(writeFile(dir.filePath("empty"), {}), image, error));
        QVERIFY(image == start);

        const QByteArray longBytes = QByteArray(256, '\x22') + QByteArray(44, '\x33');
        QVERIFY(EdidImageFile::load(writeFile(dir.filePath("long.bin"), longBytes), image, error));
        QCOMPARE(bytesOf(image), longBytes.left(256));

        // A real EDID of 256 bytes.
        const QString sample = qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin";
        QVERIFY(EdidImageFile::load(sample, image, error));
        QCOMPARE(bytesOf(image), readFile(sample));
        QVERIFY(EdidHeader::present(image));
    }

    void openRefusesWhatIsNotARegularFile() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo.bin");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        struct Case {
            QString path;
            const char* reason;
        };
        const Case cases[] = {
            {dir.filePath("missing.bin"), "No such file"},
            {dir.path(), "folder"},
            {fifo, "not a regular file"},  // no writer: opening it must not wait for one
            {"/dev/zero", "not a regular file"},
        };
        for (const Case& c : cases) {
            EdidImage image = counting();
            QString error;
            QElapsedTimer took;
            took.start();
            QVERIFY2(!EdidImageFile::load(c.path, image, error), qPrintable(c.path));
            QVERIFY(took.elapsed() < 1000);
            QVERIFY2(error.contains(c.path) && error.contains(c.reason), qPrintable(error));
            QVERIFY(image == counting());
        }
    }

    void saveWritesTheWholeImage() {
        QTemporaryDir dir;
        QString error;
        // Right after start-up the image is 256 zeros.
        const QString zeros = dir.filePath("zeros");
        QVERIFY(EdidImageFile::save(zeros, EdidImage{}, error));
        QCOMPARE(readFile(zeros), QByteArray(256, 0));

        // Open, then save: the same bytes.
        const QString sample = qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin";
        EdidImage image{};
        QVERIFY(EdidImageFile::load(sample, image, error));
        const QString copy = dir.filePath("copy.bin");
        QVERIFY(EdidImageFile::save(copy, image, error));
        QCOMPARE(readFile(copy), readFile(sample));

        // An existing longer file is replaced whole, keeping its permissions.
        const QString old = writeFile(dir.filePath("old.bin"), QByteArray(300, 'x'));
        QFile::setPermissions(old, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        const QFile::Permissions kept = QFile::permissions(old);
        QVERIFY(EdidImageFile::save(old, counting(), error));
        QCOMPARE(readFile(old), bytesOf(counting()));
        QCOMPARE(QFile::permissions(old), kept);
        // A link is followed: the file it names is replaced, the link stays.
        QVERIFY(QFile::link(old, dir.filePath("link.bin")));
        QVERIFY(EdidImageFile::save(dir.filePath("link.bin"), EdidImage{}, error));
        QVERIFY(QFileInfo(dir.filePath("link.bin")).isSymLink());
        QCOMPARE(readFile(old), QByteArray(256, 0));
        // Nothing is left beside the files.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList({"copy.bin", "link.bin", "old.bin", "zeros"}));
    }

    void failedSaveKeepsTheOldFile() {
        QTemporaryDir dir;
        const QByteArray old = QByteArray::fromHex("00FFFFFFFFFFFF00") + QByteArray(248, '\x5A');
        const QString target = writeFile(dir.filePath("kept.bin"), old);

        // A write that fails half-way (the file size limit stands in for a full disk).
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 100;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        expectFailedSave(target, old, "write failure");
        ::setrlimit(RLIMIT_FSIZE, &saved);
        if (QTest::currentTestFailed())
            return;

        expectFailedSave(dir.filePath("no/such/folder/x.bin"), QByteArray(), "missing folder");
        QDir(dir.path()).mkdir("sub");
        expectFailedSave(dir.filePath("sub"), QByteArray(), "a folder");

        if (::geteuid() != 0) {
            // The administrator may write anywhere; the others are held to the permissions.
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
            expectFailedSave(target, old, "read-only folder");
            QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QFile::setPermissions(target, QFile::ReadOwner);
            expectFailedSave(target, old, "read-only file");
        }
    }

    // A real full disk and a read-only file system, where the system lets the test mount one.
    void fullAndReadOnlyFileSystems() {
        QTemporaryDir dir;
        const QByteArray mountPoint = QFile::encodeName(dir.path());
        if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=4k") != 0)
            QSKIP("cannot mount a small file system here");
        const QByteArray old = QByteArray(256, '\x42');
        const QString target = writeFile(dir.filePath("kept.bin"), old);  // fills the one page
        expectFailedSave(target, old, "full disk");
        expectFailedSave(dir.filePath("new.bin"), QByteArray(), "full disk, new file");
        QCOMPARE(
            ::mount("tmpfs", mountPoint.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=4k"),
            0);
        expectFailedSave(target, old, "read-only file system");
        QCOMPARE(::umount(mountPoint.constData()), 0);
    }

    void header() {
        EdidImage image{};
        QCOMPARE(EdidHeader::problem(image), QStringLiteral("all 256 bytes are 00"));
        image[255] = 1;
        QCOMPARE(EdidHeader::problem(image),
                 QStringLiteral("bytes 0 to 7 are 00 00 00 00 00 00 00 00"));
        std::copy(EdidHeader::Bytes.begin(), EdidHeader::Bytes.end(), image.begin());
        QVERIFY(EdidHeader::present(image));
        QCOMPARE(EdidHeader::problem(image), QString());
        image[7] = 0xAB;
        QCOMPARE(EdidHeader::problem(image),
                 QStringLiteral("bytes 0 to 7 are 00 FF FF FF FF FF FF AB"));
    }
};

QTEST_GUILESS_MAIN(TestEdidFile)
#include "test_edid_file.moc"
