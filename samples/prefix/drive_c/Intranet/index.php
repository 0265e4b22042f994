<?php
// Corvantis intranet start page.
include 'include/templates/header.php';
echo '<h1>Corvantis</h1>';
