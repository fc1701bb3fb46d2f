// All file access goes through File. Loaders receive a File as a prototype,
// ask it whether a name exists, clone it and open the clone, so they work the
// same on disk files and on the mounted data archive.
#pragma once

#include <memory>
#include <string>

class File {
 public:
  virtual ~File() = default;

  // A new, closed file of the same kind and source, owned by the caller.
  virtual File* clone() const = 0;
  virtual bool exists(const char* name) = 0;
  // Opens for reading; false when already open or not found.
  virtual bool open(const char* name) = 0;
  // Creates or truncates for writing; false when already open.
  virtual bool create(const char* name) = 0;
  virtual bool close() = 0;
  // Bytes read, 0 on an error or at the end (never negative).
  virtual int read(void* buffer, int count) = 0;
  // Bytes written, 0 on an error; the size grows by that number.
  virtual int write(const void* buffer, int count) = 0;
  virtual bool seek(int position) = 0;
  virtual bool skip(int delta) = 0;
  virtual int tell() = 0;

  // Length in bytes of the open file; 0 when closed.
  int size() const { return m_size; }

  // clone() as an owning pointer.
  std::unique_ptr<File> cloneUnique() const { return std::unique_ptr<File>(clone()); }

 protected:
  int m_size = 0;
};

// A file on disk, found along a search path of directories separated by ';',
// each written with its trailing backslash (".\;..\" throughout the game).
// Backslashes are path separators in every name and directory; a drive
// prefix ("D:") is dropped when the name is retried along the search path.
class DiskFile : public File {
 public:
  explicit DiskFile(const char* searchPath = ".\\;..\\");
  DiskFile(const DiskFile& other);  // copies the search path; the copy is closed
  DiskFile& operator=(const DiskFile&) = delete;
  ~DiskFile() override;

  File* clone() const override;
  // Looks along ".\;..\" whatever this file's own search path is.
  bool exists(const char* name) override;
  // Regular files only, of at most 2 GB: a folder, a device or a pipe (a
  // link to one too) does not open, and opening never waits.
  bool open(const char* name) override;
  // Opens the name as given, with no search path.
  bool create(const char* name) override;
  // Also false when the system reports an error on closing (written data
  // may then be lost); the file is closed either way.
  bool close() override;
  int read(void* buffer, int count) override;
  int write(const void* buffer, int count) override;
  bool seek(int position) override;
  bool skip(int delta) override;
  int tell() override;

  // Waits until what was written has reached the storage device; false on
  // an error or when not open.
  bool sync();

  const std::string& searchPath() const { return m_searchPath; }
  bool isOpen() const { return m_handle >= 0; }

 private:
  bool tryOpen(const std::string& name);

  std::string m_searchPath;
  int m_handle = -1;
};

// A name with backslashes turned into this system's separator.
std::string toNativePath(const std::string& name);

// Waits until the directory entry of the file `name` (a creation or a
// rename) has reached the storage device; false on an error.
bool syncDirectoryEntry(const std::string& name);
