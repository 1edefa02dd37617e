#include "e2e/e2e_script.h"

#include <algorithm>

namespace {

const std::string k_create = "CREATE TABLE [dbo].[";
const std::string k_insert = "INSERT INTO [dbo].[";

}  // namespace

std::vector<std::string> e2e_script::tables() const {
  std::vector<std::string> out;
  for (auto at = text.find(k_create); at != std::string::npos; at = text.find(k_create, at + 1)) {
    const std::size_t name = at + k_create.size();
    out.push_back(text.substr(name, text.find(']', name) - name));
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> e2e_script::rows(const std::string& table) const {
  std::vector<std::string> out;
  const std::string statement = k_insert + table + "] (";
  const std::string values = ") VALUES (";
  const std::string end = ");\r\nGO\r\n";
  for (auto at = text.find(statement); at != std::string::npos; at = text.find(statement, at + 1)) {
    const std::size_t first = text.find(values, at) + values.size();
    out.push_back(text.substr(first, text.find(end, first) - first));
  }
  return out;
}

std::string e2e_script::column_type(const std::string& table, const std::string& column) const {
  const std::size_t create = text.find(k_create + table + "] (\r\n");
  if (create == std::string::npos) return {};
  const std::size_t close = text.find("\r\n)", create);
  const std::string line = "\t[" + column + "] ";
  const std::size_t at = text.find(line, create);
  if (at == std::string::npos || at > close) return {};
  const std::size_t type = at + line.size();
  std::string found = text.substr(type, text.find_first_of(",\r", type) - type);
  while (!found.empty() && found.back() == ' ') found.pop_back();
  return found;
}

e2e_script e2e_dump(const tk_test_dir& dir, const std::string& src,
                    const std::vector<std::string>& extra) {
  const std::string out = dir / "out.sql";
  std::vector<std::string> args = {"--src=" + src, "--dump", "--dest=" + out};
  args.insert(args.end(), extra.begin(), extra.end());
  e2e_script run{quorvik(args), {}};
  run.text = tk_read_file(out);
  return run;
}
