// Name qualification and the magic constants that the context resolves.
#include "translate/context.h"

#include <vector>

namespace zarnu::translate {

namespace {

// The directory part of a file name, as PHP's __DIR__ gives it for the file:
// the file name without its last path component, the text between earlier
// components kept as written. "/var/www/index.php" gives "/var/www",
// "a//b/./c.php" "a//b", "/index.php" "/", "index.php" "". A name without
// components ("") or whose last component is the root ("/") has none.
Text parent_directory(std::string_view path) {
  // End offset of each component; the root is the first "/" alone.
  std::vector<size_t> ends;
  bool last_is_root = false;
  size_t pos = 0;
  if (!path.empty() && path[0] == '/') {
    ends.push_back(1);
    last_is_root = true;
    pos = 1;
  }
  while (pos < path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(pos, end - pos);
    // "." only counts at the very start ("./a.php" lies in ".").
    if (!part.empty() && (part != "." || pos == 0)) {
      ends.push_back(end);
      last_is_root = false;
    }
    pos = end + 1;
  }
  if (ends.empty() || last_is_root) return std::nullopt;
  if (ends.size() == 1) return std::string();
  return std::string(path.substr(0, ends[ends.size() - 2]));
}

}  // namespace

std::string Ctx::qualify_name(std::string_view name) const {
  if (!namespace_ || namespace_->empty()) return std::string(name);
  std::string qualified = *namespace_;
  qualified += '\\';
  qualified += name;
  return qualified;
}

Text Ctx::resolve_magic(std::string_view name) const {
  if (name == "__NAMESPACE__") return namespace_;
  if (name == "__FUNCTION__") return function_;
  if (name == "__CLASS__") return class_;
  if (name == "__METHOD__") return method_;
  if (name == "__FILE__") return filename_;
  if (name == "__DIR__") {
    if (!filename_) return std::nullopt;
    return parent_directory(*filename_);
  }
  return std::nullopt;
}

}  // namespace zarnu::translate
