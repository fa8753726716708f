// The account settings file: a small CR LF text file next to the executable that keeps
// the user's ID, password and the "save ID and password" choice between runs.
#pragma once

#include <memory>

// An open file, read and written byte by byte (a Windows file handle, or a C stream off Windows).
struct TextFile;

// Creates the file for writing, replacing an existing one, not shared; null on failure.
TextFile* CreateTextFile(const char* path);
// Opens an existing file for reading, others may read it too; null on failure.
TextFile* OpenTextFile(const char* path);
// Closes the file; a null file is ignored.
void CloseTextFile(TextFile* file);

// Closes a TextFile when its owner goes out of scope.
struct TextFileCloser {
  void operator()(TextFile* file) const { CloseTextFile(file); }
};
using ScopedTextFile = std::unique_ptr<TextFile, TextFileCloser>;

// Writes the text followed by CR LF; returns the number of bytes written.
int WriteTextLine(TextFile* file, const char* text);

// Reads one line into buffer (NUL-terminated) and returns its length. CR, LF and NUL end a
// line and are skipped before its first character, so blank lines never yield one; 0 means
// end of file. A line longer than capacity - 1 is cut there, the next byte is dropped and the
// rest comes back as the following line.
int ReadTextLine(TextFile* file, char* buffer, int capacity);

// Writes UserId, UserPassword and RememberLogin to the file at path; 1 when written,
// 0 when the path is empty (the program folder is not known) or the file cannot be created.
int WriteAccountFile(const char* path);

// Reads the file at path into UserId, UserPassword and RememberLogin; 1 when the file was
// read, 0 when the path is empty or the file cannot be opened (the account state is then
// left as it is).
int ReadAccountFile(const char* path);

// Applies one line of the account file: a USER_ID, USER_PWD or COOKIE line sets the matching
// value and returns 1; comment lines and any other line change nothing and return 0.
// userId and userPassword hold kAccountTextSize bytes.
int ApplyAccountLine(const char* line, char* userId, char* userPassword, int* rememberLogin);

// Copies an ID or password value into a kAccountTextSize buffer. Longer values are cut at
// 31 bytes, never inside a double-byte character; a lead byte without its trail byte is dropped.
void CopyAccountText(char* dest, const char* value);

// Reads the COOKIE value: leading blanks, an optional sign, then decimal digits up to the
// first other character. Text without digits gives 0; values beyond int are clamped.
int ParseCookieValue(const char* text);
