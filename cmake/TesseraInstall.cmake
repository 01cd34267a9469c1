# Install rules are filled in with packaging.
