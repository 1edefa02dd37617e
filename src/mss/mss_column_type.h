#pragma once

// The SQL Server column type of a descriptor: the lower-case mapping, and the type the server
// writer (mss_database, mss_table) names in a CREATE TABLE. The facts about the server come
// from mss_server_facts.

#include <string>

class t_ftd;

// Lower-case server type; with type_only false a size suffix "(n) " follows where one is due.
std::u16string get_mss_native_type(const t_ftd& column, bool type_only);

// The column's type in a CREATE TABLE sent to the server: the lower-case mapping with decimal
// precision and scale, GUIDs as uniqueidentifier, a rule's or the descriptor's own type first.
std::u16string mss_server_column_type(const t_ftd& column);
