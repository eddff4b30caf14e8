// Temporary: the settings store follows.
