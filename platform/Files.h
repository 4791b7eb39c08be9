// Files: the settings file and what start-up asks about paths.
#pragma once

#include <string>
#include <vector>

namespace rw {

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
};

}  // namespace rw
