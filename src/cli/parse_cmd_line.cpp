#include "cli/parse_cmd_line.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/error_handler.h"
#include "app/talvex_converter.h"
#include "cli/ansi_cmd_line.h"
#include "cli/exit_with_message.h"
#include "cli/process_tab_file.h"
#include "cli/quorvik_usage.h"
#include "dbf/dbf_codepage_table.h"
#include "odb/odb_login.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "tk/tk_path_probe.h"
#include "tk/tk_string.h"

namespace {

// The password typed at the terminal without echo, or the first line of standard input when
// that is no terminal.
std::string read_password() {
  std::string line;
  const bool terminal = ::isatty(STDIN_FILENO) == 1;
  termios saved{};
  if (terminal) {
    std::fputs("Password: ", stderr);
    std::fflush(stderr);
    if (::tcgetattr(STDIN_FILENO, &saved) == 0) {
      termios quiet = saved;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
  }
  for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
    line += static_cast<char>(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (terminal) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
  }
  return line;
}

// A decimal number read as C's strtol does (leading blanks, a sign, digits, the rest ignored),
// clamped to int.
int read_decimal(const std::string& text) {
  errno = 0;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

bool all_digits(const std::string& text) {
  return text.find_first_not_of("0123456789") == std::string::npos;
}

void set_encoding(talvex_converter& converter, const std::string& value) {
  // UTF-8 has no mark: it is named, or given as its code page number.
  const bool utf8_named = tk_equal_nocase(value, "utf-8");
  const int choice = utf8_named ? dbf_choice_utf8 : read_decimal(value);
  TK_LOG(1, "\tgot encoding: %d", choice);
  // Only plain decimal text: "0x65" would otherwise read as 0 and quietly mean "each
  // table's own code page".
  if (!utf8_named && (!all_digits(value) || !dbf_is_encoding_choice(choice))) {
    exit_with_message(
        "Invalid codepage. See 'Command Line' article of the manual to learn\nabout DBase "
        "codepages");
  }
  converter.code_page = choice;
}

void set_mode(talvex_converter& converter, const std::string& value) {
  const int mode = read_decimal(value);
  TK_LOG(1, "\tgot mode %d", mode);
  if (value != std::to_string(mode) || mode < 0 || mode > 3) {
    exit_with_message("Invalid merge/overwrite mode");
  }
  converter.set_mode(mode);
}

void set_jobs(talvex_converter& converter, const std::string& value) {
  const int jobs = read_decimal(value);
  if (value != std::to_string(jobs) || jobs < 1 || jobs > talvex_converter::k_max_jobs) {
    exit_with_message("The number of parallel connections (--jobs) should be from 1 to " +
                      std::to_string(talvex_converter::k_max_jobs));
  }
  converter.jobs = jobs;
}

void set_encrypt(talvex_converter& converter, const std::string& value) {
  TK_LOG(1, "\tgot encrypt %s", value);
  odb_tls tls = converter.engine().tls();
  if (value == "mandatory") {
    tls.encryption = odb_encryption::mandatory;
  } else if (value == "optional") {
    tls.encryption = odb_encryption::optional;
  } else {
    exit_with_message("Invalid encryption: use --encrypt=mandatory or --encrypt=optional");
  }
  converter.engine().set_tls(std::move(tls));
}

}  // namespace

bool parse_cmd_line(int argc, const char* const* argv) {
  TK_LOG(1, "parse_cmd_line");
  for (int i = 0; i < argc; ++i) {
    // The password is traced masked, like everywhere else.
    const bool secret = std::string_view(argv[i]).rfind("--mssqlp=", 0) == 0;
    TK_LOG(1, "parameter #%d: %s", i, secret ? "--mssqlp=********" : argv[i]);
  }

  talvex_converter& converter = talvex_converter::instance();
  std::u16string host;
  std::u16string user;
  std::u16string pswd;
  bool pswd_given = false;
  bool profile_loaded = false;

  ansi_cmd_line line(argc, argv, quorvik_options);
  for (; line.has_current(); line.advance()) {
    const std::string& value = line.value();
    switch (line.id()) {
      case opt_dest:
        converter.dest = tk_from_ansi(value);
        TK_LOG(1, "parse_cmd_line - got dest %s", value);
        break;
      case opt_dump:
        converter.direct = false;
        TK_LOG(1, "\tconvert into dump files");
        break;
      case opt_encoding:
        set_encoding(converter, value);
        break;
      case opt_help:
        exit_with_message(quorvik_usage());
      case opt_logfile:
        TK_LOG(1, "parse_cmd_line - got logfile %s", value);
        converter.set_logfile(value);
        break;
      case opt_log2int:
        converter.bool_dbf = false;
        TK_LOG(1, "\tconvert logical into (1,0)");
        break;
      case opt_mode:
        set_mode(converter, value);
        break;
      case opt_jobs:
        set_jobs(converter, value);
        break;
      case opt_mssqlh:
        host = tk_from_ansi(value);
        break;
      case opt_mssqlu:
        user = tk_from_ansi(value);
        break;
      case opt_mssqlp:
        pswd = tk_from_ansi(value);
        pswd_given = true;
        break;
      case opt_version:
        std::printf("quorvik %s\n", QV_VERSION);
        std::fflush(stdout);
        std::exit(0);
      case opt_profile:
        TK_LOG(1, "parse_cmd_line - got profile %s", value);
        profile_loaded = converter.load_profile(value);
        break;
      case opt_silent:
        TK_LOG(1, "parse_cmd_line - silent mode is ON");
        converter.set_silent(true);
        error_handler::instance().set_quiet(true);
        break;
      case opt_as_dbo:
        converter.engine().set_as_dbo(true);
        TK_LOG(1, "\ttables go into the schema dbo");
        break;
      case opt_encrypt:
        set_encrypt(converter, value);
        break;
      case opt_trust_server_cert: {
        odb_tls tls = converter.engine().tls();
        tls.trust_server_cert = true;
        converter.engine().set_tls(std::move(tls));
        TK_LOG(1, "\tencrypt without checking the server's certificate");
        break;
      }
      case opt_ca_file: {
        TK_LOG(1, "\tgot ca_file %s", value);
        if (!tk_is_file_exist(tk_from_ansi(value))) {
          exit_with_message("The CA file " + value +
                            " does not exist or cannot be read.\nPlease verify the path.");
        }
        odb_tls tls = converter.engine().tls();
        tls.ca_file = value;
        converter.engine().set_tls(std::move(tls));
        break;
      }
      case opt_no_indexes:
        converter.skip_idx = true;
        TK_LOG(1, "\tcreate no indexes");
        break;
      case opt_skip_del:
        converter.skip_del = true;
        TK_LOG(1, "\tdon't convert records marked as deleted");
        break;
      case opt_src:
        converter.src = tk_from_ansi(value);
        TK_LOG(1, "parse_cmd_line - got src %s", value);
        break;
      case opt_tab_def:
        converter.tab_def = true;
        TK_LOG(1, "\tconvert table definitions only");
        break;
      case opt_tab_file:
        TK_LOG(1, "\tparse_cmd_line - got tab_file %s", value);
        process_tab_file(value);
        break;
      default:
        break;
    }
  }

  if (!line.unmatched().empty()) return false;
  if (converter.src.empty()) exit_with_message("You should specify path to DBF database");
  if (converter.dest.empty()) {
    exit_with_message("You should specify destination MS SQL database name");
  }
  // A database container file stands for its tables.
  const bool container =
      tk_wstring::ends_with(converter.src, u".dbc", false) && tk_is_file_exist(converter.src);
  if (!container && !tk_is_path_exist(converter.src)) {
    if (tk_is_file_exist(converter.src)) {
      exit_with_message("You should enter path to DBF database, not a file name");
    }
    exit_with_message(
        "Path to DBF database does not exist.\nPlease verify the correct path was given.");
  }
  // A password on the command line shows in the process list and the shell's history: it may
  // come from the environment or be typed instead.
  if (!user.empty() && !pswd_given) {
    if (const char* env = std::getenv("QUORVIK_MSSQLP")) pswd = tk_from_ansi(env);
  } else if (pswd_given && pswd == u"-") {
    pswd = tk_from_ansi(read_password());
  }
  if (!profile_loaded) {
    converter.host = std::move(host);
    converter.user = std::move(user);
    converter.pswd = std::move(pswd);
  }
  return true;
}
