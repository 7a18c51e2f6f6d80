# The header is the file that standard output goes to. On Windows, Wine gives
# a redirected standard output a volume serial number of 0, no final path and
# no lock, so nothing can tell whether the header is that file, and the run
# is refused as such (Windows itself has the serial).
