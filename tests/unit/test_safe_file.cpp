// Files the program writes: a replace that keeps the file's identity, reports that never take an
// existing name, and logs that several writers append to at once without mixing lines.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "files/SafeFile.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// A second name for file: a hard link.
bool hardLink(const QString& file, const QString& name) {
#ifdef Q_OS_WIN
    return ::CreateHardLinkW(QDir::toNativeSeparators(name).toStdWString().c_str(),
                             QDir::toNativeSeparators(file).toStdWString().c_str(), nullptr);
#else
    return ::link(QFile::encodeName(file), QFile::encodeName(name)) == 0;
#endif
}

// What tells the file behind a name from any other on its disk.
quint64 fileId(const QString& path) {
#ifdef Q_OS_WIN
    const HANDLE h = ::CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    ::GetFileInformationByHandle(h, &info);
    ::CloseHandle(h);
    return (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
#else
    struct stat st {};
    ::stat(QFile::encodeName(path), &st);
    return st.st_ino;
#endif
}

}  // namespace

class TestSafeFile : public QObject {
    Q_OBJECT

private slots:
    void replaceWritesAHardLinkedFileInPlace() {
        QTemporaryDir dir;
        QString error;
        const QString path = writeFile(dir.filePath("golden.bin"), QByteArray(300, 'x'));
        QVERIFY(hardLink(path, dir.filePath("twin")));
#ifdef Q_OS_WIN
        const QString name = path;  // Qt's links there are shortcut files, not followed
        const QStringList names{"golden.bin", "twin"};
#else
        const QString name = dir.filePath("soft");
        QVERIFY(QFile::link(path, name));
        const QStringList names{"golden.bin", "soft", "twin"};
#endif
        const quint64 before = fileId(path);
        QVERIFY2(SafeFile::replace(name, "new", error), qPrintable(error));
        QCOMPARE(fileId(path), before);
        QCOMPARE(readFile(dir.filePath("twin")), QByteArray("new"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), names);
    }

    void createNewNeverTakesAnExistingName() {
        QTemporaryDir dir;
        QString error;
        const QString path = dir.filePath("report.html");
        QVERIFY2(SafeFile::createNew(path, "first", error), qPrintable(error));
        QVERIFY(!SafeFile::createNew(path, "second", error));
        QVERIFY2(error.startsWith(path + ": "), qPrintable(error));
        QVERIFY(!SafeFile::createNew(dir.filePath("none/r.html"), "x", error));
        QCOMPARE(readFile(path), QByteArray("first"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"report.html"});
    }

    void appendsFromSeveralWritersStayWholeLines() {
        QTemporaryDir dir;
        const QString log = dir.filePath("log.csv");
        constexpr int Writers = 4, Records = 150;
        // Every call opens the log anew and the lock belongs to that open file, so writers in
        // threads contend for it as writers in separate programs do.
        std::atomic<int> failures{0};
        std::vector<std::thread> writers;
        for (int w = 0; w < Writers; ++w) {
            writers.emplace_back([&, w] {
                QString error;
                for (int r = 0; r < Records; ++r) {
                    const QByteArray line = QByteArray::number(w) + ',' + QByteArray::number(r) +
                                            ',' + QByteArray(100 + r % 37, char('a' + w)) + '\n';
                    if (!SafeFile::appendRecord(log, "writer,record,text\n", line, error))
                        ++failures;
                }
            });
        }
        for (std::thread& t : writers) t.join();
        QCOMPARE(failures.load(), 0);
        const QList<QByteArray> lines = readFile(log).split('\n');
        QCOMPARE(lines.size(), 1 + Writers * Records + 1);  // the last split is empty
        QCOMPARE(lines.front(), QByteArray("writer,record,text"));
        std::vector<int> next(Writers, 0);
        for (int i = 1; i <= Writers * Records; ++i) {
            const QList<QByteArray> f = lines[i].split(',');
            QCOMPARE(f.size(), 3);
            const int w = f[0].toInt(), r = f[1].toInt();
            QCOMPARE(r, next[w]++);  // each writer's lines whole and in its order
            QCOMPARE(f[2], QByteArray(100 + r % 37, char('a' + w)));
        }

        // A log that ends in half a line (a crash elsewhere) gets the next record on a line of
        // its own; a folder is no log.
        QString error;
        const QString cut = writeFile(dir.filePath("cut.csv"), "h\n1,2");
        QVERIFY(SafeFile::appendRecord(cut, "h\n", "3,4\n", error));
        QCOMPARE(readFile(cut), QByteArray("h\n1,2\n3,4\n"));
        QVERIFY(!SafeFile::appendRecord(dir.path(), "h\n", "x\n", error));
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "test_safe_file.moc"
