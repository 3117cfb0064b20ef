#pragma once
// The per-user class registry: where a host finds the module of a class identifier, and what a
// self-registering module writes when it is registered.
//
// The file is $XDG_CONFIG_HOME/marqel/registry.ini, or $HOME/.config/marqel/registry.ini when
// XDG_CONFIG_HOME is unset or empty. It is plain UTF-8 text, one section a class:
//
//   # comment lines start with '#' or ';'; blank lines are ignored
//   [{7A56BC4E-24B3-4DBB-BED7-2F13F7D19F22}]
//   ProgID=Marqel.Tolvane
//   InprocServer32=/opt/marqel/Marqel.so
//   ThreadingModel=Apartment
//   TypeLib={E1EB66E6-29DD-43D4-A941-C036E6923C3B}
//   Version=1.0
//
// Section names are class identifiers in braces (compared without regard to case); keys are
// compared without regard to case, values are taken as they stand (no quoting, no escapes). The
// file is replaced as a whole on every change (written beside it, then renamed over it), so a
// reader never sees half a file.
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace marqel::system {

struct ClassRegistration {
  std::string clsid;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
  std::string progId;
  std::string modulePath;  // InprocServer32
  std::string threadingModel = "Apartment";
  std::string typeLib;
  std::string typeLibVersion;
};

class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Registry {
 public:
  // The registry file of the current user (see above). Raises RegistryError when neither
  // XDG_CONFIG_HOME nor HOME says where it is.
  static std::filesystem::path defaultPath();

  explicit Registry(std::filesystem::path file);
  const std::filesystem::path& file() const { return file_; }

  // All registered classes; none when the file does not exist. Raises RegistryError when it
  // exists but cannot be read, naming the file and, for a malformed line, its number.
  std::vector<ClassRegistration> classes() const;
  std::optional<ClassRegistration> findClass(const std::string& clsid) const;
  std::optional<ClassRegistration> findProgId(const std::string& progId) const;

  // Adds or replaces the class's entry. Creates the directory when needed.
  void registerClass(const ClassRegistration& entry);
  // Removes the class's entry; false when there was none.
  bool unregisterClass(const std::string& clsid);

 private:
  void write(const std::vector<ClassRegistration>& entries) const;

  std::filesystem::path file_;
};

}  // namespace marqel::system
