// Files: the settings file and what start-up asks about paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rw {

// What became of reading or replacing a file that holds the user's own
// settings.
enum class FileVerdict {
    Done,        // read completely, or replaced
    Missing,     // no such file (a new one may be created)
    Unreadable,  // there, but opening or reading it failed
    NotTrusted,  // another user owns or can change the file, a link on the
                 // way to it, or a folder above it
    NotRegular,  // a folder, FIFO, device or socket: never opened
    TooLarge,    // over the size limit asked for: not read
    ReadOnly,    // the user made the file read-only
    Failed,      // creating, writing or putting the new file in place failed
};

struct FileOutcome {
    FileVerdict verdict = FileVerdict::Failed;
    // The file finally meant, links followed (empty where not known).
    std::string path;
    // For the debug line: what was found wrong.
    std::string detail;
};

class Files {
public:
    virtual ~Files() = default;
    // True when a file or directory exists at path (absolute, or relative to
    // the current directory).
    virtual bool PathExists(const std::string& path) = 0;
    virtual bool IsDirectory(const std::string& path) = 0;
    // Whole file into bytes; false when it cannot be opened or read.
    virtual bool ReadFileBytes(const std::string& path, std::string& bytes) = 0;
    // Creates path new (failing if it exists), writes bytes, flushes them to
    // the disk and closes it. The new file takes the permissions (and, where
    // it may, the group) of modeTemplate when that file exists, else
    // owner-only access. On any failure the partial file is removed and false
    // returned.
    virtual bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                                     const std::string& modeTemplate) = 0;
    // Atomically replaces target by source (rename over it).
    virtual bool ReplaceFileWith(const std::string& source, const std::string& target) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    // Paths of the files in path's folder whose names begin with path's
    // file name; none where the platform cannot list a folder.
    virtual std::vector<std::string> FilesBeginningWith(const std::string& path) {
        (void)path;
        return {};
    }
    // The file a path finally names, with symbolic links followed, so that
    // a replacement lands on the real file and not on the link; the path
    // itself where nothing needs resolving.
    virtual std::string ResolveFilePath(const std::string& path) { return path; }
    // Whether the program may create files in dir.
    virtual bool IsDirectoryWritable(const std::string& dir) = 0;
    // Whether the user lets the program replace this existing file: false
    // for a read-only file (Windows attribute, or no write permission for
    // the user on Linux), even where the folder would allow a rename.
    virtual bool IsFileWritable(const std::string& path) = 0;
    // Per-user configuration directory (XDG) where the platform has one,
    // else empty.
    virtual std::string UserConfigDir() = 0;

    // The whole file into bytes, when it is a regular file that nobody but
    // the user (or the system's administrator) can change, no larger than
    // maxBytes. Links are followed as the user's own. Never waits on a FIFO
    // or device. The default knows only found, missing and unreadable.
    virtual FileOutcome ReadUsersFile(const std::string& path, std::string& bytes, std::size_t maxBytes) {
        FileOutcome out{FileVerdict::Done, path, {}};
        std::string read;
        if (ReadFileBytes(path, read)) {
            if (read.size() > maxBytes) {
                out.verdict = FileVerdict::TooLarge;
                return out;
            }
            bytes.swap(read);
            return out;
        }
        if (!PathExists(path)) out.verdict = FileVerdict::Missing;
        else out.verdict = IsDirectory(path) ? FileVerdict::NotRegular : FileVerdict::Unreadable;
        return out;
    }
    // Replaces the file at path (the file a link names, where path is one)
    // by bytes: they go to a new file of that name plus tmpSuffix beside it,
    // on the disk in full before a rename puts it in place. A file of the
    // user's keeps its permissions and group; anything else gives owner-only
    // access. Refuses, touching nothing, what ReadUsersFile would not trust
    // and a file the user made read-only. On failure the temporary file is
    // gone and the old file as it was.
    virtual FileOutcome ReplaceUsersFile(const std::string& path, const std::string& bytes,
                                         const std::string& tmpSuffix) {
        FileOutcome out{FileVerdict::Done, ResolveFilePath(path), {}};
        if (PathExists(out.path) && !IsFileWritable(out.path)) {
            out.verdict = FileVerdict::ReadOnly;
            return out;
        }
        const std::string tmp = out.path + tmpSuffix;
        // One left by an interrupted save with the same name would block
        // this save (the file is created exclusively).
        RemoveFile(tmp);
        if (!WriteNewFileDurably(tmp, bytes, out.path) || !ReplaceFileWith(tmp, out.path)) {
            RemoveFile(tmp);
            out.verdict = FileVerdict::Failed;
        }
        return out;
    }
    // This computer's name, to tell apart the temporary files of saves on
    // different computers sharing a folder; empty where unknown.
    virtual std::string HostName() { return {}; }
    // Seconds since the file (not a link's target) was last changed; -1
    // where unknown.
    virtual std::int64_t FileAgeSeconds(const std::string& path) {
        (void)path;
        return -1;
    }
};

}  // namespace rw
