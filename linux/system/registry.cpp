#include "linux/system/registry.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace marqel::system {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool SameId(const std::string& a, const std::string& b) {
  return Lower(a) == Lower(b);
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool HasLineBreak(const std::string& value) {
  return value.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

std::filesystem::path Registry::defaultPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && *config != '\0') {
    return std::filesystem::path(config) / "marqel" / "registry.ini";
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') {
    return std::filesystem::path(home) / ".config" / "marqel" / "registry.ini";
  }
  throw RegistryError("no place for the class registry: neither XDG_CONFIG_HOME nor HOME is set");
}

Registry::Registry(std::filesystem::path file) : file_(std::move(file)) {}

std::vector<ClassRegistration> Registry::classes() const {
  std::vector<ClassRegistration> entries;
  std::ifstream in(file_);
  if (!in) {
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec)) return entries;
    throw RegistryError(file_.string() + ": cannot be read: " + std::strerror(errno));
  }
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.front() == '[') {
      if (line.back() != ']' || line.size() < 3) {
        throw RegistryError(file_.string() + ":" + std::to_string(number) +
                            ": a section name must stand in [ ]");
      }
      ClassRegistration entry;
      entry.clsid = line.substr(1, line.size() - 2);
      entry.threadingModel.clear();
      entries.push_back(std::move(entry));
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos || entries.empty()) {
      throw RegistryError(
          file_.string() + ":" + std::to_string(number) +
          (entries.empty() ? ": a value outside any [class] section" : ": expected Key=Value"));
    }
    const std::string key = Lower(Trim(line.substr(0, equals)));
    const std::string value = Trim(line.substr(equals + 1));
    ClassRegistration& entry = entries.back();
    if (key == "progid") {
      entry.progId = value;
    } else if (key == "inprocserver32") {
      entry.modulePath = value;
    } else if (key == "threadingmodel") {
      entry.threadingModel = value;
    } else if (key == "typelib") {
      entry.typeLib = value;
    } else if (key == "version") {
      entry.typeLibVersion = value;
    }
    // Other keys are left for whoever wrote them.
  }
  return entries;
}

std::optional<ClassRegistration> Registry::findClass(const std::string& clsid) const {
  for (auto& entry : classes()) {
    if (SameId(entry.clsid, clsid)) return entry;
  }
  return std::nullopt;
}

std::optional<ClassRegistration> Registry::findProgId(const std::string& progId) const {
  for (auto& entry : classes()) {
    if (SameId(entry.progId, progId)) return entry;
  }
  return std::nullopt;
}

void Registry::registerClass(const ClassRegistration& entry) {
  for (const std::string* value : {&entry.clsid, &entry.progId, &entry.modulePath,
                                   &entry.threadingModel, &entry.typeLib, &entry.typeLibVersion}) {
    if (HasLineBreak(*value)) {
      throw RegistryError("a registry value cannot hold a line break: " + *value);
    }
  }
  auto entries = classes();
  const auto same = std::find_if(entries.begin(), entries.end(),
                                 [&](const auto& e) { return SameId(e.clsid, entry.clsid); });
  if (same != entries.end()) {
    *same = entry;
  } else {
    entries.push_back(entry);
  }
  write(entries);
}

bool Registry::unregisterClass(const std::string& clsid) {
  auto entries = classes();
  const auto before = entries.size();
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [&](const auto& e) { return SameId(e.clsid, clsid); }),
                entries.end());
  if (entries.size() == before) return false;
  write(entries);
  return true;
}

void Registry::write(const std::vector<ClassRegistration>& entries) const {
  std::error_code ec;
  if (file_.has_parent_path()) {
    std::filesystem::create_directories(file_.parent_path(), ec);
    if (ec) {
      throw RegistryError(file_.parent_path().string() + ": cannot be created: " + ec.message());
    }
  }
  std::ostringstream text;
  text << "# Marqel class registry: one [class identifier] section a class.\n";
  for (const auto& entry : entries) {
    text << "\n[" << entry.clsid << "]\n";
    if (!entry.progId.empty()) text << "ProgID=" << entry.progId << '\n';
    text << "InprocServer32=" << entry.modulePath << '\n';
    if (!entry.threadingModel.empty()) text << "ThreadingModel=" << entry.threadingModel << '\n';
    if (!entry.typeLib.empty()) text << "TypeLib=" << entry.typeLib << '\n';
    if (!entry.typeLibVersion.empty()) text << "Version=" << entry.typeLibVersion << '\n';
  }
  std::filesystem::path temporary = file_;
  temporary += ".tmp." + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text.str();
    out.flush();
    if (!out) {
      std::filesystem::remove(temporary, ec);
      throw RegistryError(temporary.string() + ": cannot be written");
    }
  }
  std::filesystem::rename(temporary, file_, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    throw RegistryError(file_.string() + ": cannot be replaced: " + ec.message());
  }
}

}  // namespace marqel::system
