// Temporary: the start-up follows.
