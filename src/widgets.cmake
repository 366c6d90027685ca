# The widgets library and the orve1 executable.
