#include "edid/EdidImageFile.h"

#include <QByteArray>
#include <algorithm>

#include "files/SafeFile.h"

bool EdidImageFile::load(const QString& path, EdidImage& image, QString& error) {
    QByteArray bytes;
    if (!SafeFile::readRegular(path, static_cast<qint64>(image.size()), bytes, error))
        return false;
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return true;
}

bool EdidImageFile::save(const QString& path, const EdidImage& image, QString& error) {
    const QByteArray bytes(reinterpret_cast<const char*>(image.data()),
                           static_cast<qsizetype>(image.size()));
    return SafeFile::replace(path, bytes, error);
}
