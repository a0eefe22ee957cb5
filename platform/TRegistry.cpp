#include "platform/TRegistry.h"

#include <algorithm>

#include "platform/Utf.h"

namespace morvane {

namespace {

// Whether one call can take the path whole: it holds no more UTF-16 units than a call carries.
// A UTF-8 text never has fewer bytes than units, so a short one is not counted.
bool FitsOneCall(const std::string& path) {
  return path.size() <= kMaxPathUnitsPerCall || Utf16Length(path) <= kMaxPathUnitsPerCall;
}

}  // namespace

std::string TrimTrailingBackslashes(const std::string& path) {
  std::size_t end = path.size();
  while (end > 0 && path[end - 1] == '\\') --end;
  return path.substr(0, end);
}

TRegistry::TRegistry(RegistryApi& api) : api_(api) {}

TRegistry::~TRegistry() { ClosePath(); }

void TRegistry::SelectRoot(RootKey root) {
  ClosePath();
  root_ = root;
}

void TRegistry::ClosePath() {
  current_.reset();
  currentPath_.clear();
}

TRegistry::Target TRegistry::Resolve(const std::string& path) const {
  Target t;
  if (!path.empty() && path[0] == '\\') {
    t.base = RootHandle(root_);
    t.subPath = TrimTrailingBackslashes(path.substr(1));
    t.fullPath = t.subPath.empty() ? std::string() : "\\" + t.subPath;
  } else {
    t.base = BaseKey();
    t.subPath = TrimTrailingBackslashes(path);
    const std::string& basePath = current_.valid() ? currentPath_ : std::string();
    t.fullPath = t.subPath.empty() ? basePath : basePath + "\\" + t.subPath;
  }
  return t;
}

long TRegistry::StepToParent(RegKey& base, std::string& subPath, ScopedRegKey& parent,
                             bool create) const {
  if (FitsOneCall(subPath)) return kRegOk;
  const std::size_t last = subPath.rfind('\\');
  if (last == std::string::npos) return kRegOk;  // one name: the registry's own limit decides
  std::size_t start = 0;
  while (start < last) {
    const std::size_t end = std::min(subPath.find('\\', start), last);
    const std::string name = subPath.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    // Keys on the way are only passed through: any access they grant will do.
    RegKey key = 0;
    const long rc = create ? api_.CreateKey(base, name, kMaximumAllowed | view_, key)
                           : api_.OpenKey(base, name, kMaximumAllowed | view_, key);
    if (rc != kRegOk) return rc;
    parent = ScopedRegKey(api_, key);
    base = key;
  }
  subPath.erase(0, last + 1);
  return kRegOk;
}

void TRegistry::MakeCurrent(ScopedRegKey key, std::string fullPath) {
  ClosePath();
  current_ = std::move(key);
  currentPath_ = std::move(fullPath);
}

bool TRegistry::OpenPath(const std::string& path, bool create) {
  Target t = Resolve(path);
  ScopedRegKey parent;
  if (!Done(StepToParent(t.base, t.subPath, parent, create && !t.subPath.empty()))) return false;
  RegKey key = 0;
  long rc = (create && !t.subPath.empty()) ? api_.CreateKey(t.base, t.subPath, access_ | view_, key)
                                           : api_.OpenKey(t.base, t.subPath, access_ | view_, key);
  if (!Done(rc)) return false;
  MakeCurrent(ScopedRegKey(api_, key), std::move(t.fullPath));
  return true;
}

bool TRegistry::OpenPathForReading(const std::string& path) {
  Target t = Resolve(path);
  ScopedRegKey parent;
  if (!Done(StepToParent(t.base, t.subPath, parent, false))) return false;
  std::uint32_t access = 0;
  long rc = kRegOk;
  ScopedRegKey key = OpenForReading(api_, t.base, t.subPath, &access, Links::Follow, view_, &rc);
  if (!Done(rc)) return false;
  MakeCurrent(std::move(key), std::move(t.fullPath));
  access_ = access;
  return true;
}

RegKeyInfo TRegistry::QueryKeyInfo() const {
  RegKeyInfo info;
  if (api_.QueryInfo(BaseKey(), info) != kRegOk) return RegKeyInfo{};
  return info;
}

void TRegistry::ListSubkeys(std::vector<std::string>& list) const {
  list.clear();
  const RegKeyInfo info = QueryKeyInfo();
  list.reserve(info.subkeys);
  for (std::uint32_t i = 0; i < info.subkeys; ++i) {
    std::string name;
    if (api_.EnumKey(BaseKey(), i, name) != kRegOk) name.clear();
    list.push_back(std::move(name));
  }
}

void TRegistry::ListValues(std::vector<std::string>& list) const {
  list.clear();
  const RegKeyInfo info = QueryKeyInfo();
  list.reserve(info.values);
  for (std::uint32_t i = 0; i < info.values; ++i) {
    RegValue value;
    if (api_.EnumValue(BaseKey(), i, value, false) != kRegOk) value.name.clear();
    list.push_back(std::move(value.name));
  }
}

bool TRegistry::HasChildKeys() const {
  RegKeyInfo info;
  return api_.QueryInfo(BaseKey(), info) == kRegOk && info.subkeys > 0;
}

bool TRegistry::HasValue(const std::string& name) const {
  std::uint32_t type = 0;
  return api_.QueryValue(BaseKey(), name, type, nullptr) == kRegOk;
}

std::optional<std::uint32_t> TRegistry::ValueKind(const std::string& name) const {
  std::uint32_t type = 0;
  if (api_.QueryValue(BaseKey(), name, type, nullptr) != kRegOk) return std::nullopt;
  return type;
}

std::string TRegistry::ReadText(const std::string& name) const {
  std::uint32_t type = 0;
  std::string data;
  // A value that is missing is empty text; one that was there a moment ago and cannot be read
  // now (it went, or changed, between the two calls) is an error the caller must see.
  if (api_.QueryValue(BaseKey(), name, type, nullptr) != kRegOk) return {};
  if (api_.QueryValue(BaseKey(), name, type, &data) != kRegOk)
    throw ERegistryException("Failed to get data for '" + name + "'");
  if (data.empty()) return {};
  if (type != kRegSz && type != kRegExpandSz)
    throw ERegistryException("Invalid data type for '" + name + "'");
  const std::size_t nul = data.find('\0');
  if (nul != std::string::npos) data.resize(nul);
  return data;
}

long TRegistry::DeleteSubtree(RegKey base, const std::string& subPath, int depth) {
  RegKey opened = 0;
  // Opened as itself, never through a link; without the right to read it, a key can still be
  // deleted when it has no subkeys.
  long rc = api_.OpenKeyNoFollow(base, subPath, kKeyRead | kKeyDelete | view_, opened);
  if (rc != kRegOk) rc = api_.OpenKeyNoFollow(base, subPath, kKeyDelete | view_, opened);
  if (rc != kRegOk) return rc;
  const ScopedRegKey key(api_, opened);
  RegKeyInfo info;
  if (depth < kMaxKeyDepth && api_.QueryInfo(key.get(), info) == kRegOk) {
    for (std::uint32_t i = info.subkeys; i-- > 0;) {
      std::string name;
      if (api_.EnumKey(key.get(), i, name) == kRegOk && !name.empty())
        DeleteSubtree(key.get(), name, depth + 1);
    }
  }
  return api_.DeleteOpenedKey(key.get());
}

bool TRegistry::DeleteTree(const std::string& path) {
  Target t = Resolve(path);
  // An empty remainder would name the base key itself: for an absolute path that is a whole
  // root such as HKEY_LOCAL_MACHINE. Never delete that.
  if (t.subPath.empty()) return Done(kRegInvalidHandle);
  if (current_.valid() && t.fullPath == currentPath_) ClosePath();
  ScopedRegKey parent;
  if (!Done(StepToParent(t.base, t.subPath, parent, false))) return false;
  return Done(DeleteSubtree(t.base, t.subPath, 0));
}

bool TRegistry::RemoveValue(const std::string& name) {
  if (!current_.valid()) return Done(kRegInvalidHandle);
  return Done(api_.DeleteValue(current_.get(), name));
}

bool TRegistry::WriteText(const std::string& name, const std::string& text) {
  if (!current_.valid()) return Done(kRegInvalidHandle);
  return Done(api_.SetValue(current_.get(), name, kRegSz, text + '\0'));
}

}  // namespace morvane
