#ifndef VANDREL_FILES_FILEIDENTITY_H
#define VANDREL_FILES_FILEIDENTITY_H

#include <QtGlobal>

class QFileDevice;
class QString;

// Which file on which volume a name or an open file reaches. Two identities
// are equal exactly when they reach the same file, however the paths were
// spelt: drive letters and their aliases, links, letter case, "..".
// Windows: the volume serial number and file index of the open handle.
// Elsewhere: st_dev and st_ino.
class FileIdentity
{
public:
    // Reaches no file; equal to no identity, itself included.
    FileIdentity() = default;

    // The file behind an open QFile (or QSaveFile's temporary file).
    static FileIdentity ofOpenFile(const QFileDevice &file);

    // The existing file that path names, following links. Opens nothing for
    // writing, never blocks (FIFOs, devices) and changes nothing. Invalid when
    // the path names nothing that can be reached.
    static FileIdentity ofPath(const QString &path);

    bool isValid() const { return m_valid; }

    friend bool operator==(const FileIdentity &a, const FileIdentity &b)
    {
        return a.m_valid && b.m_valid && a.m_volume == b.m_volume && a.m_file == b.m_file;
    }
    friend bool operator!=(const FileIdentity &a, const FileIdentity &b) { return !(a == b); }

    // The numbers as the system gives them: volume and file on it.
    FileIdentity(quint64 volume, quint64 file) : m_volume(volume), m_file(file), m_valid(true) {}

private:
    quint64 m_volume = 0;
    quint64 m_file = 0;
    bool m_valid = false;
};

#endif
