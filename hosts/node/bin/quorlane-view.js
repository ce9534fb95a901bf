#!/usr/bin/env node
'use strict';
require('../dist/view/cli.js').main(process.argv.slice(2));
