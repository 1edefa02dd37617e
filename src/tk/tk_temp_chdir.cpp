#include "tk/tk_temp_chdir.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <memory>

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include "tk/tk_encoding.h"
#include "tk/tk_file_name.h"
#include "tk/tk_log.h"

namespace {

std::u16string fold(std::u16string_view text) {
  if (text.empty()) return {};
  std::u16string out(text.size() * 3, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length =
      u_strFoldCase(out.data(), static_cast<int32_t>(out.size()), text.data(),
                    static_cast<int32_t>(text.size()), U_FOLD_CASE_DEFAULT, &status);
  if (U_FAILURE(status)) return std::u16string(text);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

struct listed {
  std::string name;
  std::u16string folded;
};

// Matching entries of the current directory, ordered by folded name, then by bytes.
std::vector<listed> list_matching(std::u16string_view pattern) {
  TK_WLOG(2, "tk_temp_chdir::find_files(%s)", pattern);
  std::vector<listed> found;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("."), &::closedir);
  if (!dir) {
    TK_LOG(1, "No files found");
    return found;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") {
      TK_LOG(1, "...ignored");
      continue;
    }
    const std::u16string wide = tk_from_utf8_lossy(name);
    if (!tk_match_wildcard_nocase(pattern, wide)) continue;
    TK_LOG(1, "Found file: %s", name);
    found.push_back({std::string(name), fold(wide)});
  }
  TK_LOG(1, found.empty() ? "No files found" : "No more files");
  std::sort(found.begin(), found.end(), [](const listed& a, const listed& b) {
    return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
  });
  return found;
}

}  // namespace

bool tk_match_wildcard_nocase(std::u16string_view pattern, std::u16string_view name) {
  if (pattern == u"*.*") return true;  // every name, with or without an extension
  const std::u16string p = fold(pattern);
  const std::u16string n = fold(name);
  std::size_t pi = 0, ni = 0;
  std::size_t star = std::u16string::npos, resume = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == u'?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == u'*') {
      star = pi++;
      resume = ni;
    } else if (star != std::u16string::npos) {
      pi = star + 1;
      ni = ++resume;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == u'*') ++pi;
  return pi == p.size();
}

tk_temp_chdir::tk_temp_chdir(const std::string& path) {
  TK_LOG(2, "tk_temp_chdir::ctor");
  initialize(path.empty() ? tk_file_name::program_folder() : path);
}

tk_temp_chdir::tk_temp_chdir(std::u16string_view path) : wide_(true) {
  TK_LOG(2, "tk_temp_chdir::ctor");
  initialize(path.empty() ? tk_file_name::program_folder() : tk_to_utf8_lossy(path));
}

void tk_temp_chdir::initialize(const std::string& path) {
  if (wide_) {
    TK_LOG(2, "tk_temp_chdir_w::initialize(%s)", path);
  } else {
    TK_LOG(2, "tk_temp_chdir::initialize(%s)", path);
  }
  succeeded_ = true;
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) {
    TK_LOG(1, wide_ ? "_wgetcwd failed" : "_getcwd failed");
    succeeded_ = false;
    return;
  }
  saved_ = buffer;
  if (::chdir(path.c_str()) != 0) {
    TK_LOG(1, wide_ ? "_wchdir failed" : "_chdir failed");
    succeeded_ = false;
  }
}

tk_temp_chdir::~tk_temp_chdir() {
  TK_LOG(2, "tk_temp_chdir::dtor");
  if (succeeded_ && ::chdir(saved_.c_str()) != 0) TK_LOG(1, "_chdir failed");
  TK_LOG(2, "tk_temp_chdir::dtor - at the END");
}

void tk_temp_chdir::find_files(std::string_view pattern, std::vector<std::string>& list) const {
  list.clear();
  for (listed& entry : list_matching(tk_from_utf8_lossy(pattern))) {
    list.push_back(std::move(entry.name));
  }
}

void tk_temp_chdir::find_files(std::u16string_view pattern,
                               std::vector<std::u16string>& list) const {
  list.clear();
  for (const listed& entry : list_matching(pattern)) list.push_back(tk_from_utf8_lossy(entry.name));
}
