// Files the program writes: a replace that keeps the file's identity, reports that never take an
// existing name, and logs that several programs append to at once without mixing lines.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "TestFiles.h"
#include "files/SafeFile.h"

class TestSafeFile : public QObject {
    Q_OBJECT

private slots:
    void replaceWritesAHardLinkedFileInPlace() {
        QTemporaryDir dir;
        QString error;
        const QString path = writeFile(dir.filePath("golden.bin"), QByteArray(300, 'x'));
        QVERIFY(QFile::link(path, dir.filePath("soft")));
        QCOMPARE(::link(QFile::encodeName(path), QFile::encodeName(dir.filePath("twin"))), 0);
        struct stat before {};
        ::stat(QFile::encodeName(path), &before);
        QVERIFY2(SafeFile::replace(dir.filePath("soft"), "new", error), qPrintable(error));
        struct stat after {};
        ::stat(QFile::encodeName(path), &after);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(readFile(dir.filePath("twin")), QByteArray("new"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList({"golden.bin", "soft", "twin"}));
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

    void appendsFromSeveralProgramsStayWholeLines() {
        QTemporaryDir dir;
        const QString log = dir.filePath("log.csv");
        constexpr int Writers = 4, Records = 150;
        std::vector<pid_t> children;
        for (int w = 0; w < Writers; ++w) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                QString error;
                for (int r = 0; r < Records; ++r) {
                    const QByteArray line = QByteArray::number(w) + ',' + QByteArray::number(r) +
                                            ',' + QByteArray(100 + r % 37, char('a' + w)) + '\n';
                    if (!SafeFile::appendRecord(log, "writer,record,text\n", line, error))
                        ::_exit(1);
                }
                ::_exit(0);
            }
            children.push_back(pid);
        }
        for (pid_t pid : children) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
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
