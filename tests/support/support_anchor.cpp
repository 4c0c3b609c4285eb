// Keeps the support library non-empty while its fixtures are being written.
