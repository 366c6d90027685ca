#include "EdidFile.h"

#include <QFile>
#include <algorithm>

EdidFile::LoadResult EdidFile::load(const std::string& path, EdidImage* image, std::string* error) {
    QFile file(QFile::decodeName(path.c_str()));
    if (!file.exists())
        return LoadResult::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + ": " + file.errorString().toStdString();
        return LoadResult::Failed;
    }
    const QByteArray bytes = file.read(static_cast<qint64>(image->size()));
    if (file.error() != QFile::NoError) {
        *error = path + ": " + file.errorString().toStdString();
        return LoadResult::Failed;
    }
    image->fill(0);
    std::copy(bytes.begin(), bytes.end(), image->begin());
    return LoadResult::Loaded;
}

bool EdidFile::save(const std::string& path, const EdidImage& image, std::string* error) {
    QFile file(QFile::decodeName(path.c_str()));
    const qint64 size = static_cast<qint64>(image.size());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(image.data()), size) != size || !file.flush()) {
        *error = file.errorString().toStdString();
        return false;
    }
    return true;
}
