# The command-line companion.
