// The EDID file: what opening does to the image, and saves that either replace the old file
// whole or leave it as it was.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "TestFiles.h"
#include "edid/EdidImageFile.h"

#ifndef Q_OS_WIN
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

// A failed save names the path and the reason, keeps the old file and leaves nothing beside it.
void expectFailedSave(const QString& path, const QByteArray& old, const char* what) {
    QString error;
    const QStringList before = QFileInfo(path).dir().entryList(QDir::Files | QDir::Hidden);
    QVERIFY2(!EdidImageFile::save(path, EdidImage{}, error), what);
    QVERIFY2(error.startsWith(path + ": ") && error.size() > path.size() + 4, qPrintable(error));
    QCOMPARE(readFile(path), old);
    QCOMPARE(QFileInfo(path).dir().entryList(QDir::Files | QDir::Hidden), before);
}

}  // namespace

class TestEdidFile : public QObject {
    Q_OBJECT

private slots:
    void openTakesAtMost256BytesOfARegularFile() {
        QTemporaryDir dir;
        QString error;
        EdidImage image;
        image.fill(0x5A);
        QVERIFY(
            EdidImageFile::load(writeFile(dir.filePath("a"), QByteArray(128, 1)), image, error));
        QVERIFY(EdidImageFile::load(writeFile(dir.filePath("b"), {}), image, error));
        QCOMPARE(bytesOf(image), QByteArray(128, 1) + QByteArray(128, 0x5A));
        const QByteArray longer = QByteArray(256, 2) + QByteArray(44, 3);
        QVERIFY(EdidImageFile::load(writeFile(dir.filePath("c"), longer), image, error));
        QCOMPARE(bytesOf(image), longer.left(256));

        // Never waits on a FIFO without a writer; a folder or device is no EDID file.
        const QString fifo = blockingNonFile(dir.path());
        for (const QString& path : {fifo, dir.path(), deviceFile(), dir.filePath("none")}) {
            QVERIFY2(!EdidImageFile::load(path, image, error), qPrintable(path));
            QVERIFY(error.startsWith(path + ": "));
        }
        QCOMPARE(bytesOf(image), longer.left(256));
    }

    void saveReplacesTheWholeFile() {
        QTemporaryDir dir;
        QString error;
        EdidImage image;
        for (int i = 0; i < 256; ++i) image[i] = quint8(i);
        // An existing longer file keeps its permissions; a link keeps pointing at it.
        const QString old = writeFile(dir.filePath("old.bin"), QByteArray(300, 'x'));
        QFile::setPermissions(old, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        const QFile::Permissions kept = QFile::permissions(old);
#ifdef Q_OS_WIN
        // Qt's links there are shortcut files, which the system does not follow.
        const QString link = old;
        const QStringList names{"new", "old.bin"};
#else
        const QString link = dir.filePath("link");
        QVERIFY(QFile::link(old, link));
        const QStringList names{"link", "new", "old.bin"};
#endif
        QVERIFY(EdidImageFile::save(link, image, error));
        QCOMPARE(readFile(old), bytesOf(image));
        QCOMPARE(QFile::permissions(old), kept);
        QCOMPARE(QFileInfo(link).isSymLink(), link != old);
        QVERIFY(EdidImageFile::save(dir.filePath("new"), EdidImage{}, error));
        QCOMPARE(readFile(dir.filePath("new")), QByteArray(256, 0));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), names);
    }

    void failedSavesKeepTheOldFile() {
        QTemporaryDir dir;
        const QString target = writeFile(dir.filePath("kept.bin"), "kept");
        QDir(dir.path()).mkdir("sub");
        expectFailedSave(dir.filePath("sub"), "<unreadable>", "a folder");
#ifdef Q_OS_WIN
        QFile::setPermissions(target, QFile::ReadOwner);  // the read-only attribute
        expectFailedSave(target, "kept", "read-only file");
#else
        // A write that fails half-way: the file size limit stands in for a full disk.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 100;
        ::setrlimit(RLIMIT_FSIZE, &small);
        expectFailedSave(target, "kept", "write failure");
        ::setrlimit(RLIMIT_FSIZE, &saved);
        if (::geteuid() != 0) {  // the administrator may write anywhere
            QFile::setPermissions(target, QFile::ReadOwner);
            expectFailedSave(target, "kept", "read-only file");
        }

        // A real full disk and a read-only file system, where the test may mount one.
        const QByteArray at = QFile::encodeName(dir.filePath("sub"));
        if (::mount("tmpfs", at.constData(), "tmpfs", 0, "size=4k") != 0)
            QSKIP("no small file system can be mounted here");
        const QString full = writeFile(dir.filePath("sub/full.bin"), QByteArray(256, 7));
        expectFailedSave(full, QByteArray(256, 7), "full disk");
        ::mount("tmpfs", at.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=4k");
        expectFailedSave(full, QByteArray(256, 7), "read-only file system");
        QCOMPARE(::umount(at.constData()), 0);
#endif
    }
};

QTEST_GUILESS_MAIN(TestEdidFile)
#include "test_edid_file.moc"
