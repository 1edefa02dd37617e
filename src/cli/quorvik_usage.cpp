#include "cli/quorvik_usage.h"

#include <cstdio>

namespace {

constexpr const char* k_usage =
    "QUORVIK v%d.%d%s\n"
    "Usage: QUORVIK.EXE OPTIONS\n"
    "\n"
    "   --as_dbo       create the tables in the schema dbo whatever the login\n"
    "                  (without it a login other than sa gets a schema of its\n"
    "                  own name, created when missing)\n"
    "   --ca_file=...  check the server's certificate against this CA bundle\n"
    "                  instead of /etc/ssl/certs/ca-certificates.crt\n"
    "                  (a server with a self-signed certificate: its CA)\n"
    "   --dest=...     MS SQL database or dump file name\n"
    "   --dump         convert FoxPro/DBase database into T-SQL dump file\n"
    "   --encoding=... decode all text fields using DBase codepage specified\n"
    "                  (see 'Command Line' article of the manual to learn\n"
    "                  about DBase codepages)\n"
    "   --encrypt=...  mandatory (the default: the connection is encrypted, with\n"
    "                  the certificate and host name checked, or not made) or\n"
    "                  optional (encrypted when the server offers it; for a\n"
    "                  server without encryption). Azure SQL needs neither.\n"
    "   --help         display this help message and exit\n"
    "   --jobs=N       load up to N tables at a time into the server, each on a\n"
    "                  connection of its own (default: the number of processors,\n"
    "                  at most 4; 1 loads them one after the other)\n"
    "   --logfile=...  path to the file where execution trace will be written\n"
    "   --log2int      convert DBase logical fields into MS SQL TINYINT(1)\n"
    "                  according to ANSI standard (true=1, false=0)\n"
    "   --mode=...     how to process an existing MS SQL database\n"
    "                  (0 - overwrite the entire database, 1 - overwrite existing\n"
    "                  tables only, 2 - skip existing tables, 3 - merge)\n"
    "   --mssqlh=...   MS SQL server IP address or network name\n"
    "   --mssqlu=...   MS SQL user name\n"
    "   --mssqlp=...   MS SQL user password\n"
    "   --no_indexes   don't create indexes from the tables' index files\n"
    "   --profile=...  path to the file to load conversion settings from\n"
    "   --silent       disable program output\n"
    "   --skip_del     don't convert records marked as deleted\n"
    "   --src=...      path to DBF database\n"
    "   --tab_def      convert table definitions only\n"
    "   --tab_file=... file containing the list of tables to convert\n"
    "                  (one table name per line)\n"
    "   --trust_server_cert  encrypt without checking the server's certificate\n"
    "                  (a self-signed server)\n"
    "   --version      display the program's version and exit\n"
    "\n"
    "NOTES:\n"
    "   1) You can omit 'mssqlh' parameter to connect local MS SQL server.\n"
    "   2) You can omit 'mssqlu' and 'mssqlp' parameters to connect to MS SQL\n"
    "      server using Windows authentication.\n"
    "   3) If you omit 'tab_file' parameter, all database files will be converted.\n"
    "   4) If you omit 'mode' parameter, default mode 'overwrite' will be used.\n"
    "      A run cut short leaves no table half loaded: run it again with\n"
    "      --mode=2 to load the tables that are missing.\n"
    "   5) If you omit 'encoding' parameter, this value will be taken from\n"
    "      DBF file header.\n";

}  // namespace

std::string quorvik_usage() {
  const int length =
      std::snprintf(nullptr, 0, k_usage, quorvik_version_major, quorvik_version_minor, "");
  std::string text(static_cast<std::size_t>(length), '\0');
  std::snprintf(text.data(), text.size() + 1, k_usage, quorvik_version_major, quorvik_version_minor,
                "");
  return text;
}
